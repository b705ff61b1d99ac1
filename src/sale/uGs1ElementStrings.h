#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <stdexcept>

// GS1 element strings: what a GS1 DataMatrix, GS1 QR, GS1-128 or GS1 DataBar symbol carries, and
// the same data as a GS1 Digital Link address. Each element is an application identifier (AI)
// and its value; elements of a predefined length follow each other directly, one of a variable
// length ends with the group separator (ASCII 29) or at the end of the string.
//
//   ]d201095011010209171719050810ABCD1234       GTIN 09501101020917, use by 2019-05-08, batch
//   https://id.example.com/01/09501101020917/10/ABCD1234?17=190508
//
// The elements read are those a shop sells by: 01 and 02 (GTIN), 10 (batch), 11, 13, 15, 16, 17
// (dates), 21 (serial), 310n (net weight), 392n (price) and 30 (count). Anything else, and any
// element that breaks its own rules, makes the whole string a misread.

inline constexpr QChar kGroupSeparator = QChar(0x1d);

// Why a GS1 string cannot be read; the text names the element.
class Gs1Misread : public std::runtime_error {
public:
    explicit Gs1Misread(const QString& reason) : std::runtime_error(reason.toStdString()) {}
};

struct TGs1Code {
    QString gtin;  // 14 digits, its check digit valid
    QString batch;
    QString serial;
    std::optional<QDate> produced;      // 11
    std::optional<QDate> packed;        // 13
    std::optional<QDate> bestBefore;    // 15
    std::optional<QDate> sellBy;        // 16
    std::optional<QDate> useBy;         // 17
    std::optional<double> netWeightKg;  // 310n
    std::optional<double> price;        // 392n, in the kiosk's currency
    std::optional<int> count;           // 30

    // Indicator digit 9: a trade item of variable measure, sold by the weight or price its code
    // carries.
    bool variableMeasure() const { return gtin.startsWith(u'9'); }
    // What beyond the product a recall can tell this code by.
    bool carriesDateOrBatch() const {
        return !batch.isEmpty() || produced || packed || bestBefore || sellBy || useBy;
    }
};

// The date of a YYMMDD value: day 00 is the last day of its month; the century is the one that
// puts the year within 49 years before or 50 after the year of today. Nothing for a date that
// does not exist.
std::optional<QDate> Gs1Date(QStringView yymmdd, const QDate& today);

// Reads element strings without their symbology identifier; a leading separator (FNC1 sent as
// one) is skipped. Throws Gs1Misread.
TGs1Code ReadGs1ElementString(QStringView text, const QDate& today);

// Reads a GS1 Digital Link address: https://<any host>/<path>/01/<gtin>[/10/<batch>][/21/<serial>]
// with further elements as query parameters named by their AI (?17=190508). Throws Gs1Misread.
TGs1Code ReadGs1DigitalLink(const QString& address, const QDate& today);
