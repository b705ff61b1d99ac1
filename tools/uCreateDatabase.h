#pragma once

#include <QString>
#include <QStringList>

// Splits a script in the command-line tool's syntax into statements: ";" ends a statement
// unless "SET TERM" chose another terminator; comments are dropped, literals kept whole.
QStringList SplitSqlScript(const QString& script);

// Creates a database file and runs the script file in it, committing each statement.
void CreateDatabaseFromScript(const QString& databasePath, const QString& scriptPath);

// Creates KPSelfServ.gdb and KPAdmin.gdb in the folder from kiosk.sql and admin.sql of the
// schema folder. Existing files are kept unless replace is set. Each file appears under its
// name only when its whole script ran; a failed build leaves nothing. Returns the files created.
QStringList CreateKioskDatabases(const QString& schemaFolder, const QString& folder, bool replace);
