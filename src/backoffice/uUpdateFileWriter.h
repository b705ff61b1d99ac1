#pragma once

#include <functional>

#include "backoffice/uUpdateFile.h"
#include "db/fbConnection.h"

namespace updatefile {

// Empties the master tables, fills them from the file and writes the site details, in one
// transaction of its own, committed once. Nothing of it stays when it fails: the transaction is
// rolled back, and a refusal of the database is raised as UpdateFileFault naming what was being
// written (the list element and its key). keepAlive, when set, is called every few hundred rows.
void ReplaceMasterData(fb::Connection& conx, const UpdateFile& file,
                       const std::function<void()>& keepAlive);

}  // namespace updatefile
