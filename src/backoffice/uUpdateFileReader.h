#pragma once

#include <QByteArray>
#include <QString>

#include "backoffice/uUpdateFile.h"

namespace updatefile {

// The largest update file taken. The full-scale catalogue (100,000 products with two barcodes
// each and 1,000 promotions) is about 16 MB written compactly, twice that in UTF-16, more when
// indented; a larger file is refused before it is read, so that a damaged or hostile file
// cannot exhaust the kiosk's memory.
inline constexpr qint64 kMaxUpdateFileBytes = 128 * 1024 * 1024;

// The deepest nesting of arrays and objects taken: the format itself needs five levels (the
// file, a list, an element, its inner list, an inner element). The parser keeps its own stack
// on the heap either way; the limit refuses absurd files early.
inline constexpr int kMaxUpdateFileDepth = 32;

// Reads the whole update file and checks every section before anything is written: the text
// is UTF-8, or UTF-8/UTF-16 chosen by a byte-order mark, and must be one JSON object. Throws
// UpdateFileFault with the reason, naming the list element (and its key, when readable) that
// could not be read.
UpdateFile ReadUpdateFile(const QString& fileName);

// The same for the bytes of a file already read.
UpdateFile ParseUpdateFile(const QByteArray& bytes);

}  // namespace updatefile
