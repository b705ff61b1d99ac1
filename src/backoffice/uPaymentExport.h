#pragma once

#include <QDateTime>
#include <QString>

#include "db/fbQuery.h"

class QIODevice;

// The card payment attempts of a trading day's sales, for the back office to reconcile with the
// acquirer's statement: a file of their own beside the day file, so the reader of the day file
// sees no new record type. One record a line, CR LF, in the order of the sales and, within a
// sale, of the attempts:
//   PY,<SALES_ID>,<reference>,<terminal's transaction id>,<amount>,<state>,<scheme>,
//      <authorisation code>,<masked card number>,<day number>,<terminal id>
// The amount has two decimals: the payment row's when the attempt has one, else the amount the
// attempt asked for. The state is the journal's (RECORDED, DECLINED, ABORTED, RESOLVED-PAID,
// RESOLVED-NOT-PAID). Scheme, authorisation code and card number come from the payment row and
// are empty without one; the terminal is the attempt's, else the payment row's.

// Export/00000042-pay.csv for the day 42.
QString PaymentExportFileName(const QString& exportFolder, int dayEndId);

// An amount in minor units as the file writes it: 225 is "2.25", -5 is "-0.05".
QByteArray MinorUnitsText(qint64 minorUnits);

// Writes the records of the attempts of the sales started from `from` up to (not including)
// `to`, the sales of the day file. Database and write errors propagate.
void WritePaymentsExport(fb::Query& q, QIODevice& file, const QDateTime& from, const QDateTime& to);
