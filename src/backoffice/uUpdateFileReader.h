#pragma once

#include <QString>

#include "backoffice/uUpdateFile.h"

namespace updatefile {

// Reads the whole update file and checks every section before anything is written: the text
// is UTF-8, or UTF-8/UTF-16 chosen by a byte-order mark, and must be one JSON object. Throws
// UpdateFileFault with the reason, naming the list element (and its key, when readable) that
// could not be read.
UpdateFile ReadUpdateFile(const QString& fileName);

}  // namespace updatefile
