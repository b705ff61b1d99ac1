#pragma once

#include <QString>
#include <QStringList>

// Splits a script in the command-line tool's syntax into statements: ";" ends a statement
// unless "SET TERM" chose another terminator; comments are dropped, literals kept whole.
QStringList SplitSqlScript(const QString& script);

// Creates a database file and runs the script file in it, committing each statement.
void CreateDatabaseFromScript(const QString& databasePath, const QString& scriptPath);

// A schema script of the back office: updates/<version>.sql of the schema folder, in the
// update runner's syntax (statements separated by "^").
struct TSchemaUpdate {
    int version = 0;
    QString script;
};
QList<TSchemaUpdate> SchemaUpdates(const QString& schemaFolder);

// Writes every schema script of the schema folder into TBL_SQLUPDATES of a back-office
// database, replacing a script of the same version, as the back office delivers them. A kiosk
// database made from kiosk.sql is already at the last version, so they only run on a kiosk
// database of an earlier version. Returns the number of scripts.
int LoadSchemaUpdates(const QString& schemaFolder, const QString& adminDatabase);

// Creates KPSelfServ.gdb and KPAdmin.gdb in the folder from kiosk.sql and admin.sql of the
// schema folder, the back-office file holding the schema scripts. Existing files are kept unless
// replace is set. Each file appears under its name only when its whole script ran; a failed build
// leaves nothing. Returns the files created.
QStringList CreateKioskDatabases(const QString& schemaFolder, const QString& folder, bool replace);
