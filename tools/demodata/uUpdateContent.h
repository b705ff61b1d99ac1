#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>
#include <vector>

// The content of an update file as the back office writes it, key for key. Optional keys that
// are not set are left out of the file.
namespace demo {

struct Group {
    int grp = 0;
    QString dsc;
    QString glp;  // picture name; none when empty
    int btn = 0;
    int clf = 0;  // caption colour, 0x00BBGGRR
    int clb = 0;  // key colour
};

struct User {
    int uid = 0;
    QString log;
    QString pas;  // the kiosk makes the staff card code from it
    QDate dob;
    QString acc;  // one "Y" or "N" per right; the second is the right to confirm ages
};

struct Department {
    int did = 0;
    QString dsc;
    double rte = 0;
    QString opn = QStringLiteral("N");
    int btn = 0;
    QString crd;
    QString grp;
};

struct Product {
    int sid = 0;
    int sku = 0;
    QString dsc;
    int did = 0;
    double rte = 0;
    double sp = 0;
    std::optional<int> bgr, bnr;  // product key: group and position
    QString bgl;                  // key picture; none when empty
    std::optional<int> bcl;       // key colour
    QStringList barcodes;
};

struct TradingHours {
    int day = 0;  // 2 Monday ... 8 Sunday
    QTime beg, end;
};

// Type 1 limits controlled products (lim); type 2 gives a department an age and trading hours.
struct Restriction {
    int id = 0;
    int type = 0;
    std::optional<int> lim, age1;
    std::vector<TradingHours> hours;
};

struct Trigger {
    int lin = 0;
    int qty = 0;
};

struct PromoProduct {
    int sid = 0;
    int lin = 0;
    double prc = 0;  // 0: the promotion's own price
};

// vtp 1 money off, 2 set price for a trigger line's units, 3 cheapest unit free.
struct Promotion {
    int pid = 0;
    QString dsc;
    int vtp = 0;
    QDateTime beg, end;
    double prc = 0;
    QString day = QStringLiteral("YYYYYYY");
    std::vector<Trigger> triggers;
    std::vector<PromoProduct> products;
};

// An in-store prefix whose labels embed a price (typ "P", minor units) or a weight ("W",
// grams); vck: a price verifier digit before a 4-digit value.
struct PriceCode {
    QString pfx;
    QString typ;
    bool vck = false;
};

// A recall of a product by its GTIN: one batch, or every batch when bat is empty; pln stops
// the product's plain barcode too.
struct Recall {
    QString gtn;
    QString bat;
    QDate beg;
    QString dsc;
    bool pln = false;
};

struct UpdateContent {
    QString site1, site2, phone, vatno;
    std::vector<Group> groups;
    std::vector<User> users;
    std::vector<Department> departments;
    std::vector<Product> products;
    std::vector<Restriction> restrictions;
    std::vector<Promotion> promotions;
    std::vector<PriceCode> priceCodes;  // left out of the file when empty
    std::vector<Recall> recalls;        // left out of the file when empty
};

// Days since 30 December 1899 with the time of day as the fraction.
double DayNumber(const QDate& date, const QTime& time = QTime(0, 0));

// The euro sign as update files carry it in descriptions: the six characters \u20AC.
inline const QString kEuro = QStringLiteral("\\u20AC");

// Writes the content as one JSON object, UTF-8 without a byte-order mark, replacing the file
// at once so a kiosk never reads half of it. Pretty output is for people to read.
void WriteUpdateFile(const UpdateContent& content, const QString& path, bool pretty);

}  // namespace demo
