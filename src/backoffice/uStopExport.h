#pragma once

#include <QDateTime>
#include <QString>

#include "db/fbQuery.h"

class QIODevice;

// The products stopped at the scan during a trading day (past their use-by or best-before date,
// or recalled), for the back office's register of what was kept off sale: a file of its own
// beside the day's export, written as the age file is. One record a line, CR LF:
//   ST,<SALES_ID>,<SID>,<GTIN>,<batch>,<day number>,<USE_BY|BEST_BEFORE|RECALL>
// SALES_ID is empty for a product stopped before its sale existed; GTIN and batch are empty
// where the code carried none.

// Export/00000042-stop.csv for the day 42.
QString StopExportFileName(const QString& exportFolder, int dayEndId);

// Writes the records of the stops made from `from` up to (not including) `to`, in the order
// they were made. Database and write errors propagate.
void WriteStopsExport(fb::Query& q, QIODevice& file, const QDateTime& from, const QDateTime& to);
