#pragma once

#include <QString>
#include <QStringList>

#include "app/uMemTable.h"
#include "db/fbConnection.h"
#include "db/fbValue.h"

// What the receipt of a paid sale prints, as the two reports' tables and labels: report 1 the
// sale (shop, lines, promotional discounts, total, time and transaction number), report 2 the
// card terminal's customer copy read back from its receipt file. fm_receipt draws and prints
// them.

inline constexpr int kReceiptProductWidth = 30;  // PRODUCT of cdsReceipt
inline constexpr int kCardCopyLineWidth = 128;   // LINE of cdsCCCopy

// The fields of cdsReceipt: SITE1, SITE2, PHONE, VAT_ID (never filled), QTY, PRODUCT, VALUE.
QStringList ReceiptFields();

// The labels of report 1 that come from the setup row and the sale's header.
struct TReceiptLabels {
    QString site1;       // lbSite1: OUR_ADD1
    QString site2;       // lbSite2: OUR_ADD2
    QString phone;       // lbPhone: OUR_PHONE
    QString vatNo;       // lbVATNo: "VAT No. " + OUR_VATNO
    QString currency;    // lbCurrency: "GBP" for currency type 1, else "EUR"
    QString timestamp;   // lbTimestamp: "dd/mm/yyyy  hh:nn:ss   Transaction No. n"
    QString total;       // QRLabel4: GROSS - DISCOUNT with group separators
    QString paidByCard;  // QRLabel7: the same, empty when it reads as 0
    QString reprint;     // heads a receipt printed again: ReprintMark, else empty
};

// What heads both reports of a receipt printed again from the manager page.
inline const QString ReprintMark = QStringLiteral("*** REPRINT ***");

struct TReceipt {
    int salesId = 0;
    TMemTable cdsReceipt;  // one row per detail line of report 1
    TMemTable cdsCCCopy;   // LINE: one row per line of the card receipt file
    TReceiptLabels labels;
    QString printerName;  // PRINTER_NAME of the setup row
};

// Builds both tables and the labels for a sale. Only what was sold is listed: voided lines
// are neither printed nor counted in "SUB-TOTAL". A reprint carries ReprintMark on both
// reports. Database errors propagate.
TReceipt BuildReceipt(fb::Connection& conx, int salesId, bool reprint = false);

// The receipt as it is read aloud on request: each line with its amount, the discounts, the
// total and what the card paid.
QString SpokenReceipt(const TReceipt& receipt);

// A VALUE of cdsReceipt as the detail line prints it: "0.00" form without group separators,
// empty when the value is empty or 0.
QString ReceiptAmountText(const fb::Value& value);
// A printed amount that reads as 0 is printed empty ("(1.00)" reads as -1, "abc" as 0).
QString BlankIfZero(const QString& text);

// The position of name among the installed printers, compared without regard to case; -1 when
// none has that name.
int FindPrinter(const QStringList& installed, const QString& name);
