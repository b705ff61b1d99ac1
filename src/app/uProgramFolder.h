#pragma once

#include <QString>

// Where the suite is installed and where its databases lie, as the settings store says.

// The local file of a database path through the settings store's database list (the entry
// whose server path matches, ignoring case); else the path itself when it is absolute; else
// empty.
QString DatabaseLocalPath(const QString& databasePath);

// The suite's installation folder, worked out on the first call and kept: the settings store's
// "ProgramFolder" when it holds TX32Main, else the program's folder when that does, else the
// program folder's parent.
QString GetProgramFolder();
// Works the program folder out afresh (the first call of GetProgramFolder uses this).
QString ResolveProgramFolder();
