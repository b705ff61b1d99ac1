#pragma once

#include <functional>

#include "backoffice/uUpdateFile.h"
#include "db/fbConnection.h"

namespace updatefile {

// Empties the master tables, fills them from the file and writes the site details in the
// transaction given, and commits it. Nothing of it stays when it fails: the caller's transaction
// rolls back when it ends, and a refusal of the database is raised as UpdateFileFault naming what
// was being written (the list element and its key). keepAlive, when set, is called every few
// hundred rows.
void ReplaceMasterData(fb::Transaction& transaction, const UpdateFile& file,
                       const std::function<void()>& keepAlive);

}  // namespace updatefile
