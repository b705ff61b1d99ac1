#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

#include "sale/uGs1ElementStrings.h"

// How a shop reads a product code. A scanner sends the digits of the symbol it read; the
// lengths of the GTIN family tell the symbology (EAN-8 or UPC-E: 8, UPC-A: 12, EAN-13: 13,
// GTIN-14: 14) and each carries a check digit. Codes of other lengths (internal codes, staff
// cards, the engineer codes) are not GTINs and are taken as they are.
//
//   TProductCode code = ReadProductCode(scanned);
//   if (code.isGtin() && !code.checkDigitValid) ...    // a misread when nothing matches
//   for (const QString& alt : code.alternatives) ...   // UPC-E expanded, tried after the code

enum class TSymbology { Other, Ean8, UpcE, UpcA, Ean13, Gtin14 };

struct TProductCode {
    QString digits;  // the code with every space removed
    TSymbology symbology = TSymbology::Other;
    bool checkDigitValid = false;  // always false for TSymbology::Other
    // Other spellings of the same item, to look up when the code itself finds nothing: the
    // UPC-A form of a UPC-E code.
    QStringList alternatives;

    bool isGtin() const { return symbology != TSymbology::Other; }
};

// The GS1 modulo-10 check digit of the digits before it (weights 3 and 1 from the right).
int GtinCheckDigit(QStringView digitsWithoutCheck);
// True when text is all digits and its last digit is the check digit of the others.
bool GtinCheckDigitValid(QStringView text);

// The 12-digit UPC-A code of an 8-digit UPC-E code (number system 0 or 1, six digits, check
// digit), or nothing when the code is not a UPC-E code. The check digit is carried over; it is
// the UPC-A code's own.
std::optional<QString> ExpandUpcE(QStringView upcE);

// Reads a scanned or imported code. An 8-digit code is an EAN-8 when its own check digit
// holds, and a UPC-E when it holds for the expansion; it may be both.
TProductCode ReadProductCode(const QString& text);

// True for a code of a GTIN length whose check digit is wrong for every symbology of that
// length: what the import logs. Cheaper than ReadProductCode for a whole catalogue.
bool GtinCheckDigitWrong(QStringView code);

// The 4-digit GS1 price (or measure) verifier digit of an embedded value: weights 2-, 2-, 3,
// 5- on the four digits, the sum times 3, its units digit.
int PriceVerifierDigit(QStringView fourDigits);

// The layout of an in-store code (prefix 20 to 29) that embeds a price or a weight:
// prefix(2) item(5) [verifier(1)] value(4 with the verifier, else 5) check(1).
struct TEmbeddedCodeLayout {
    bool weight = false;    // the value is grams; otherwise the price in minor units
    bool verifier = false;  // a price verifier digit stands before a 4-digit value
};

struct TEmbeddedValue {
    int itemNumber = 0;  // matched against the products' SKU
    int value = 0;       // minor units of money, or grams
};

// Reads the item number and value of a 13-digit in-store code for its layout, or nothing when
// the code does not fit it (its length, its EAN-13 check digit, or its price verifier).
std::optional<TEmbeddedValue> ReadEmbeddedValue(const QString& digits,
                                                const TEmbeddedCodeLayout& layout);

// The two-digit prefix of a 13-digit in-store code ("20" to "29"), or empty.
QString InStorePrefix(const QString& digits);

// What a scanner sent, read before any lookup: a plain code (digits, as read above), a GS1 code
// (element strings with or without their symbology identifier, or a GS1 Digital Link address),
// or a misread: a GS1 code that breaks its rules, which must find nothing.
struct TScannedCode {
    enum class Kind { Plain, Gs1, Misread };
    Kind kind = Kind::Plain;
    TProductCode plain;  // Plain: the code as ReadProductCode reads it
    TGs1Code gs1;        // Gs1
    QString fault;       // Misread: why, for the log
};

// Reads what a scanner sent. separatorSubstitute (may be empty) is what a scanner sends in place
// of the group separator; today settles the century of the dates. The GS1 symbology identifiers
// ]C1, ]e0, ]d2 and ]Q3 mark element strings; another identifier is dropped and the rest read as
// before. Digits alone longer than a GTIN, starting with 01 or 02, are read as element strings
// when they can be, else as the plain code they always were.
TScannedCode ReadScannedCode(const QString& text, const QString& separatorSubstitute,
                             const QDate& today);
