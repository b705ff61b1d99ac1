#pragma once

#include <QDateTime>
#include <QString>

#include "db/fbQuery.h"

class QIODevice;

// The age checks of a trading day, for the back office's refusals register: a file of their
// own beside the day's export, so the reader of the day file sees no new record type.
// One record a line, CR LF:
//   AG,<SALES_ID>,<SID>,<required age>,<USER_ID>,<day number>,<CONFIRMED|REFUSED|ABANDONED>
// SALES_ID is empty for a product refused before its sale existed, USER_ID (-1: the built-in
// engineer card) empty for a check abandoned without staff.

// Export/00000042-age.csv for the day 42.
QString AgeExportFileName(const QString& exportFolder, int dayEndId);

// The statement the file is read with, over the check times [:D1, :D2).
QString AgeChecksExportStatement();

// Writes the records of the checks made from `from` up to (not including) `to`, in the order
// they were made. Database and write errors propagate.
void WriteAgeChecksExport(fb::Query& q, QIODevice& file, const QDateTime& from,
                          const QDateTime& to);
