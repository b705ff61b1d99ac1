#pragma once

#include <QString>

#include "db/fbConnection.h"

// Test mode: with DEBUG of the setup row above TestModeAbove every sale counts as paid without
// the card terminal, so the kiosk gives its goods away. It says so on every screen and in the
// log, sale by sale.
inline constexpr int TestModeAbove = 32;
inline const QString TestModeBandText = QStringLiteral("TEST MODE - NO PAYMENT TAKEN");

bool IsTestMode(int debug);

// What the engineer confirms before test mode starts.
inline const QString TestModeWarningText =
    QStringLiteral("Every sale will be given away as a test sale");
// Where the level to return to after test mode is kept: the kiosk's section of the settings
// store, so that it outlives a restart in test mode.
inline const QString TestModeReturnLevelName = QStringLiteral("TestModeReturnLevel");

// The DEBUG of the setup row as stored now (NULL reads as 0).
int StoredDebugLevel(fb::Connection& conx);

// Test mode starts when a level above TestModeAbove replaces one at or below it.
bool StartsTestMode(int storedLevel, int newLevel);

// Before test mode is stored: keeps the level it replaces, to return to at the day end.
void KeepTestModeReturnLevel(int storedLevel);

// Once test mode is stored: logs at level 0 who set it (setBy names the code, never the code
// itself) and what happens until the next day end.
void LogTestModeStarted(int storedLevel, int newLevel, const QString& setBy);

// At a day end: a setup row in test mode gets the level kept at its start back (0 when none was
// kept, or the kept one is itself test mode), logged at level 0. True when test mode ended.
bool EndTestModeAtDayEnd(fb::Connection& conx);

// For a sale being closed: in test mode logs the sale and its amount due at level 0 and
// returns true (the sale counts as paid); otherwise returns false and logs nothing.
bool PaidInTestMode(fb::Connection& conx, int salesId);
