#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>
#include <stdexcept>
#include <vector>

// The content of an update file, as read and checked before any of it reaches the database:
// the site details and the rows of each master table, in the file's order.

namespace updatefile {

// Why an update file cannot be applied; its text is the reason that is logged.
class UpdateFileFault : public std::runtime_error {
public:
    explicit UpdateFileFault(const QString& reason) : std::runtime_error(reason.toStdString()) {}
};

[[noreturn]] inline void Fail(const QString& reason) {
    throw UpdateFileFault(reason);
}

// A day number split into the separate date and time columns it fills.
struct DayAndTime {
    QDate date;
    QTime time;
};

struct SiteDetails {
    QString add1, add2, phone, vatNo;
};

struct GroupRow {
    qint32 group;
    QString description;
    std::optional<QString> glyph;
    qint32 number, fontColour, buttonColour;
};

struct UserRow {
    qint32 id;
    QString name, posPass;
    QDate dob;
    QString access;
};

struct DepartmentRow {
    qint32 id;
    QString description;
    double vatRate;
    QString open;
    qint32 button;
    QString cardCode, groupCode;
};

struct ProductRow {
    qint32 sid, sku;
    QString description;
    qint32 dept;
    double vatRate, price;
    std::optional<qint32> group, number;
    std::optional<QString> glyph;
    std::optional<qint32> colour;
    std::optional<QString> cardCode, vendingCode;
    std::vector<QString> barcodes;
};

// A product limit (type 0, SID = id), an age (types 1 and 2, DEPT_ID = id) or trading hours
// (type 3, DEPT_ID = id).
struct RestrictionRow {
    int element;  // the restrictions element it came from, numbered from 1
    qint32 id;
    qint32 type;
    std::optional<qint32> value, day;
    std::optional<QTime> start, end;
};

struct TriggerRow {
    qint32 line, quantity;
};

struct PromoProductRow {
    qint32 sid, line;
    double price;
};

struct PromotionRow {
    qint32 id;
    QString description;
    qint32 type;
    DayAndTime start, end;
    double price, value, discount;
    QString days;
    std::vector<TriggerRow> triggers;
    std::vector<PromoProductRow> products;
};

// An in-store prefix whose codes embed a price or a weight.
struct PriceCodeRow {
    QString prefix;  // "20" to "29"
    bool weight;     // "W": grams; "P": the price in minor units
    bool verifier;   // a price verifier digit before a 4-digit value
};

// A recall of a product by its GTIN: of one batch or of every batch, optionally of a range of
// serials, from a day on.
struct RecallRow {
    QString gtin;  // 14 digits
    std::optional<QString> batch, serialFrom, serialTo;
    QDate from;
    QString description;
    bool plainCodes;  // the product's plain barcode is stopped too
};

struct UpdateFile {
    SiteDetails site;
    std::vector<GroupRow> groups;
    std::vector<UserRow> users;
    std::vector<DepartmentRow> departments;
    std::vector<ProductRow> products;
    std::vector<RestrictionRow> restrictions;
    std::vector<PromotionRow> promotions;
    std::vector<PriceCodeRow> priceCodes;
    std::vector<RecallRow> recalls;
};

}  // namespace updatefile
