#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "db/fbConnection.h"
#include "db/fbQuery.h"

// What the schema update run shows while it works.
struct TSQLUpdatesView {
    std::function<void(int percent)> setProgress;
    std::function<void(const QString& text)> setStatus;  // repaints at once
};

// One statement of a script, as it is run.
struct TScriptStatement {
    QString text;
    bool immediate = false;  // committed as soon as it has run
};

// Splits a script at "^" (no quoting), trims each statement, skips empty ones and cuts the
// "{{immediate}}" marker from the statements that carry it.
QList<TScriptStatement> SplitUpdateScript(const QString& script);

// "Updated to version #n", or "No updates processed" when nothing was reached.
QString UpdateEndText(int lastVersion);

// Applies every script above the current version with a PRIORITY of 0 or more, in version
// order, each in its own transaction together with its TBL_SETUP.DB_VERSION update.
// Returns the last version reached. A failing statement rolls its script back (its immediate
// statements stay), is logged, sets the status to the version reached, and is rethrown.
int RunSQLUpdates(fb::Connection& conx, fb::Connection& conxA, fb::Query& qA, int currentVersion,
                  int updateCount, const TSQLUpdatesView& view);

// True when another process holds the kiosk database file. The kiosk's own connection is
// closed for the test and opened again afterwards.
bool KioskDatabaseInUse(fb::Connection& conx);
