#include "backoffice/uImportUpdates.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTime>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include "app/uClock.h"
#include "app/uLog.h"
#include "app/uUtils.h"
#include "db/fbError.h"
#include "db/fbQuery.h"

using namespace Qt::StringLiterals;

namespace {

// ---- Faults ------------------------------------------------------------------------------

// Why an update file cannot be applied; its text is the reason that is logged.
class UpdateFileFault : public std::runtime_error {
public:
    explicit UpdateFileFault(const QString& reason) : std::runtime_error(reason.toStdString()) {}
};

[[noreturn]] void Fail(const QString& reason) {
    throw UpdateFileFault(reason);
}

// A log entry stays on one line even when the database's message has several (the engine
// starts each further line with "-").
QString OneLine(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines) {
        line = line.trimmed();
        if (line.startsWith(u'-')) line = line.mid(1).trimmed();
    }
    lines.removeAll(QString());
    return lines.join(u"; "_s);
}

// ---- Text of the file --------------------------------------------------------------------

QByteArray Utf16ToUtf8(QByteArrayView bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) Fail(u"the file is not valid UTF-16 text"_s);
    return text.toUtf8();
}

// A byte-order mark selects UTF-8 or UTF-16 (either byte order); without one the text is UTF-8.
QByteArray ReadUtf8Text(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        Fail(u"the file cannot be read (%1)"_s.arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(u"the file cannot be read (%1)"_s.arg(file.errorString()));
    if (bytes.startsWith("\xEF\xBB\xBF")) return bytes.mid(3);
    if (bytes.startsWith("\xFF\xFE"))
        return Utf16ToUtf8(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return Utf16ToUtf8(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16BE);
    return bytes;
}

// Numbers are kept as the text they were written in: the raw kinds read that text.
rapidjson::Document ParseObject(const QByteArray& text) {
    // The parser stops at a NUL character; what followed it would go unread.
    if (text.contains('\0')) Fail(u"the text holds a NUL character"_s);
    rapidjson::Document document;
    document.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag>(
        text.constData());
    if (document.HasParseError()) {
        Fail(u"the text is not valid JSON (%1 at byte %2)"_s.arg(
            QString::fromUtf8(rapidjson::GetParseError_En(document.GetParseError())),
            QString::number(document.GetErrorOffset())));
    }
    if (!document.IsObject()) Fail(u"the text is not a JSON object"_s);
    return document;
}

// ---- Reading kinds -----------------------------------------------------------------------

using Json = rapidjson::Value;

const Json* Find(const Json& object, const char* key) {
    const auto member = object.FindMember(key);
    return member == object.MemberEnd() ? nullptr : &member->value;
}

const Json& Required(const Json& object, const char* key) {
    const Json* value = Find(object, key);
    if (!value) Fail(u"key \"%1\" is missing"_s.arg(QLatin1StringView(key)));
    return *value;
}

[[noreturn]] void Unreadable(const char* key, const char* kind) {
    Fail(u"key \"%1\" is not %2"_s.arg(QLatin1StringView(key), QLatin1StringView(kind)));
}

// A string's content or a number as written; null is empty text; objects and arrays have none.
std::optional<QString> ScalarText(const Json& value) {
    if (value.IsString())
        return QString::fromUtf8(value.GetString(), qsizetype(value.GetStringLength()));
    if (value.IsNull()) return QString();
    if (value.IsBool()) return value.GetBool() ? u"true"_s : u"false"_s;
    return std::nullopt;
}

std::string_view TrimmedBytes(const Json& value) {
    std::string_view text(value.GetString(), value.GetStringLength());
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> NumberOf(const Json& value) {
    if (!value.IsString()) return std::nullopt;
    const std::string_view text = TrimmedBytes(value);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// A whole number, written as one or as a number with no fraction (12.0), in 32 bits.
std::optional<qint32> WholeOf(const Json& value) {
    if (!value.IsString()) return std::nullopt;
    const std::string_view text = TrimmedBytes(value);
    qint64 whole = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (error != std::errc() || end != text.data() + text.size()) {
        const std::optional<double> number = NumberOf(value);
        if (!number || *number != std::trunc(*number) || std::fabs(*number) > 1e10)
            return std::nullopt;
        whole = qint64(*number);
    }
    if (whole < std::numeric_limits<qint32>::min() || whole > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(whole);
}

// The low 32 bits, as the raw whole kinds store a longer number.
qint32 Low32(qint64 value) {
    return qint32(quint32(quint64(value)));
}

QString Text(const Json& object, const char* key) {
    const std::optional<QString> text = ScalarText(Required(object, key));
    if (!text) Unreadable(key, "text");
    return *text;
}

// Descriptions may carry the euro sign as the six characters \u20AC.
QString EuroText(const Json& object, const char* key) {
    return Text(object, key).replace(u"\\u20AC"_s, QString(QChar(0x20AC)));
}

qint32 RawWhole(const Json& object, const char* key) {
    return Low32(TextToInt(Text(object, key), 0));
}

double RawDecimal(const Json& object, const char* key) {
    return ParseMoney(Text(object, key), 0);
}

qint32 Whole(const Json& object, const char* key) {
    const std::optional<qint32> whole = WholeOf(Required(object, key));
    if (!whole) Unreadable(key, "a whole number");
    return *whole;
}

double Decimal(const Json& object, const char* key) {
    const std::optional<double> number = NumberOf(Required(object, key));
    if (!number) Unreadable(key, "a number");
    return *number;
}

std::optional<QString> OptionalText(const Json& object, const char* key) {
    const Json* value = Find(object, key);
    return value ? ScalarText(*value) : std::nullopt;
}

std::optional<qint32> OptionalWhole(const Json& object, const char* key) {
    const std::optional<QString> text = OptionalText(object, key);
    if (!text) return std::nullopt;
    return Low32(TextToInt(*text, 0));
}

std::optional<qint32> OptionalNumber(const Json& object, const char* key) {
    const Json* value = Find(object, key);
    return value ? WholeOf(*value) : std::nullopt;
}

// The elements of a list, or nothing when the key is absent, not an array or empty.
const Json* OptionalList(const Json& object, const char* key) {
    const Json* value = Find(object, key);
    return value && value->IsArray() && !value->Empty() ? value : nullptr;
}

// " (sid 1234)": the element's own key, when it has a readable one, to find it in the file.
QString IdText(const Json& element, const char* idKey) {
    const Json* id = element.IsObject() ? Find(element, idKey) : nullptr;
    const std::optional<QString> text = id ? ScalarText(*id) : std::nullopt;
    return text ? u" (%1 %2)"_s.arg(QLatin1StringView(idKey), *text) : QString();
}

// Reads every element of an optional list (numbered from 1), naming the element in the reason
// when one cannot be read. Every element must be an object.
template <class Read>
void ForEachElement(const Json& owner, const char* list, const char* idKey, Read&& read) {
    const Json* elements = OptionalList(owner, list);
    if (!elements) return;
    int number = 0;
    for (const Json& element : elements->GetArray()) {
        ++number;
        try {
            if (!element.IsObject()) Fail(u"the element is not a JSON object"_s);
            read(element, number);
        } catch (const UpdateFileFault& fault) {
            Fail(u"%1 element %2%3: %4"_s.arg(QLatin1StringView(list), QString::number(number),
                                              IdText(element, idKey),
                                              QString::fromUtf8(fault.what())));
        }
    }
}

struct DayAndTime {
    QDate date;
    QTime time;
};

// Day numbers count days from 30 December 1899, the time of day being the fraction; before
// that day the fraction still counts forward from midnight (-1.25 is 29 December 1899 06:00).
DayAndTime SplitDayNumber(double dayNumber, const char* key) {
    constexpr double kFirstDay = -693593;  // 1 January 0001
    constexpr double kLastDay = 2958465;   // 31 December 9999, kept out so midnight rounding fits
    constexpr qint64 kMSecsPerDay = 86400000;
    if (!(dayNumber >= kFirstDay && dayNumber < kLastDay)) Unreadable(key, "a date-time");
    const double days = std::trunc(dayNumber);
    qint64 msecs = std::llround(std::fabs(dayNumber - days) * double(kMSecsPerDay));
    QDate date = QDate(1899, 12, 30).addDays(qint64(days));
    if (msecs >= kMSecsPerDay) {
        date = date.addDays(1);
        msecs = 0;
    }
    return {date, QTime::fromMSecsSinceStartOfDay(int(msecs))};
}

DayAndTime DateTime(const Json& object, const char* key) {
    return SplitDayNumber(Decimal(object, key), key);
}

// ---- The content of an update file -------------------------------------------------------

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
    int element;
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

struct UpdateFile {
    SiteDetails site;
    std::vector<GroupRow> groups;
    std::vector<UserRow> users;
    std::vector<DepartmentRow> departments;
    std::vector<ProductRow> products;
    std::vector<RestrictionRow> restrictions;
    std::vector<PromotionRow> promotions;
};

GroupRow ReadGroup(const Json& e) {
    std::optional<QString> glyph = OptionalText(e, "glp");
    if (glyph && glyph->isEmpty()) glyph.reset();
    return {RawWhole(e, "grp"), EuroText(e, "dsc"), std::move(glyph),
            RawWhole(e, "btn"), RawWhole(e, "clf"), RawWhole(e, "clb")};
}

UserRow ReadUser(const Json& e) {
    return {Whole(e, "uid"), Text(e, "log"), StaffCardCode(Text(e, "pas")), DateTime(e, "dob").date,
            Text(e, "acc")};
}

DepartmentRow ReadDepartment(const Json& e) {
    return {RawWhole(e, "did"), Text(e, "dsc"), RawDecimal(e, "rte"), Text(e, "opn"),
            RawWhole(e, "btn"), Text(e, "crd"), Text(e, "grp")};
}

ProductRow ReadProduct(const Json& e) {
    ProductRow p{RawWhole(e, "sid"),
                 RawWhole(e, "sku"),
                 EuroText(e, "dsc"),
                 RawWhole(e, "did"),
                 RawDecimal(e, "rte"),
                 RawDecimal(e, "sp"),
                 OptionalWhole(e, "bgr"),
                 OptionalWhole(e, "bnr"),
                 OptionalText(e, "bgl"),
                 OptionalWhole(e, "bcl"),
                 OptionalText(e, "crd"),
                 OptionalText(e, "vcd"),
                 {}};
    ForEachElement(e, "barcodes", "bar",
                   [&](const Json& barcode, int) { p.barcodes.push_back(Text(barcode, "bar")); });
    return p;
}

// Type 1 limits a product, type 2 holds a department's ages and trading hours; other types
// carry nothing the kiosk keeps.
void ReadRestriction(const Json& e, int element, std::vector<RestrictionRow>& rows) {
    const qint32 id = Whole(e, "id");
    const qint32 type = Whole(e, "type");
    if (type == 1) {
        rows.push_back({element, id, 0, Whole(e, "lim"), {}, {}, {}});
        return;
    }
    if (type != 2) return;
    if (const auto age = OptionalNumber(e, "age1"))
        rows.push_back({element, id, 1, age, {}, {}, {}});
    if (const auto age = OptionalNumber(e, "age2"))
        rows.push_back({element, id, 2, age, {}, {}, {}});
    ForEachElement(e, "trading_hours", "day", [&](const Json& hours, int) {
        rows.push_back({element,
                        id,
                        3,
                        {},
                        Whole(hours, "day"),
                        DateTime(hours, "beg").time,
                        DateTime(hours, "end").time});
    });
}

PromotionRow ReadPromotion(const Json& e) {
    PromotionRow p{Whole(e, "pid"),
                   EuroText(e, "dsc"),
                   Whole(e, "vtp"),
                   DateTime(e, "beg"),
                   DateTime(e, "end"),
                   Decimal(e, "prc"),
                   Decimal(e, "val"),
                   Decimal(e, "dis"),
                   Text(e, "day"),
                   {},
                   {}};
    ForEachElement(e, "triggers", "lin", [&](const Json& t, int) {
        p.triggers.push_back({Whole(t, "lin"), Whole(t, "qty")});
    });
    // A product price of exactly 0 stands for the promotion's own price.
    ForEachElement(e, "products", "sid", [&](const Json& product, int) {
        PromoProductRow row{Whole(product, "sid"), Whole(product, "lin"), Decimal(product, "prc")};
        if (row.price == 0) row.price = p.price;
        p.products.push_back(row);
    });
    return p;
}

UpdateFile ReadUpdateFile(const QString& fileName) {
    const rapidjson::Document document = ParseObject(ReadUtf8Text(fileName));
    UpdateFile file;
    file.site = {Text(document, "site1"), Text(document, "site2"), Text(document, "phone"),
                 Text(document, "vatno")};
    ForEachElement(document, "groups", "grp",
                   [&](const Json& e, int) { file.groups.push_back(ReadGroup(e)); });
    ForEachElement(document, "users", "uid",
                   [&](const Json& e, int) { file.users.push_back(ReadUser(e)); });
    ForEachElement(document, "departments", "did",
                   [&](const Json& e, int) { file.departments.push_back(ReadDepartment(e)); });
    ForEachElement(document, "products", "sid",
                   [&](const Json& e, int) { file.products.push_back(ReadProduct(e)); });
    ForEachElement(document, "restrictions", "id", [&](const Json& e, int number) {
        ReadRestriction(e, number, file.restrictions);
    });
    ForEachElement(document, "promotions", "pid",
                   [&](const Json& e, int) { file.promotions.push_back(ReadPromotion(e)); });
    return file;
}

// ---- Writing the master tables -----------------------------------------------------------

const QString kUpdateSetup =
    u"update TBL_SETUP set\r\n  OUR_ADD1 = :A1, \r\n  OUR_ADD2 = :A2, \r\n  OUR_PHONE = :PHONE, "
    "\r\n  OUR_VATNO = :VATNO \r\n where SETUP_ID = 1"_s;

const char* const kMasterTables[] = {
    "TBL_USERS",          "TBL_SALES_RESTRICTIONS", "TBL_BARCODES",
    "TBL_PRODUCTS",       "TBL_DEPARTMENTS",        "TBL_PRODUCT_GROUPS",
    "TBL_PROMO_PRODUCTS", "TBL_PROMO_TRIGGERS",     "TBL_PROMOTIONS"};

const QString kInsertGroup =
    u"insert into TBL_PRODUCT_GROUPS\r\n  (PRODUCT_GROUP, DESCRIPTION, GLYPH, PRODUCT_GROUP_NO, "
    "FCOL, BCOL) values \r\n  (:PRODUCT_GROUP, :DESCRIPTION, :GLYPH, :PRODUCT_GROUP_NO, :FCOL, "
    ":BCOL)"_s;

const QString kInsertUser =
    u"insert into TBL_USERS\r\n  (USER_ID, LOGIN_NAME, POS_PASS, DOB, ACCESS) values \r\n  "
    "(:UID, :NAM, :PAS, :DOB, :ACC)"_s;

const QString kInsertDepartment =
    u"insert into TBL_DEPARTMENTS\r\n  (DEPT_ID, DESCRIPTION, VAT_RATE, OPEN_DEPT, BUTTON, "
    "CARD_CODE, GROUP_CODE) values \r\n  (:DEPT_ID, :DESCRIPTION, :VAT_RATE, :OPEN_DEPT, "
    ":BUTTON, :CARD_CODE, :GROUP_CODE)"_s;

const QString kInsertProduct =
    u"insert into TBL_PRODUCTS\r\n  (SID, SKU, DESCRIPTION, DEPT_ID, SP, BGROUP, BNUMBER, "
    "BGLYPH, BCOLOUR,\r\n  VAT_RATE, CARD_CODE, VENDING_CODE, STATUS) values \r\n  (:SID, :SKU, "
    ":DESCRIPTION, :DEPT_ID, :SP, :BGROUP, :BNUMBER, :BGLYPH, :BCOLOUR,\r\n   :VAT_RATE, "
    ":CARD_CODE, :VENDING_CODE, :STATUS);"_s;

const QString kInsertBarcode =
    u"insert into TBL_BARCODES\r\n  (SID, BARCODE, CODE_TYPE) values \r\n  (:SID, :BARCODE, "
    ":CODE_TYPE);"_s;

const QString kInsertProductLimit =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, SID, REST_VALUE) values \r\n (:TYP, "
    ":SID, :VAL)"_s;

const QString kInsertDepartmentAge =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, DEPT_ID, REST_VALUE) values \r\n (:TYP, "
    ":DID, :VAL)"_s;

const QString kInsertTradingHours =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, DEPT_ID, REST_DAY, REST_START, "
    "REST_END) values \r\n (:TYP, :DID, :DAY, :BEG, :END)"_s;

const QString kInsertPromotion =
    u"insert into TBL_PROMOTIONS\r\n (PROMO_ID, DESCRIPTION, PROMO_TYPE, START_DATE, END_DATE, "
    "PROMO_PRICE,\r\n   PROMO_VALUE, PROMO_DISC, START_TIME, END_TIME, ACTIVE_DAYS) values \r\n "
    "(:PID, :DSC, :TYP, :SDT, :EDT, :PRC, :VAL, :DIS, :STM, :ETM, :DAY)"_s;

const QString kInsertTrigger =
    u"insert into TBL_PROMO_TRIGGERS\r\n (PROMO_ID, LINE_NO, TRIGGER_QTY) values \r\n (:PID, "
    ":LIN, :QTY)"_s;

const QString kInsertPromoProduct =
    u"insert into TBL_PROMO_PRODUCTS\r\n (PROMO_ID, LINE_NO, SID, PRICE) values \r\n (:PID, "
    ":LIN, :SID, :PRC)"_s;

template <class T>
fb::Value Nullable(const std::optional<T>& value) {
    return value ? fb::Value(*value) : fb::Value();
}

// Runs work; a refusal of the database becomes a fault naming what was being written.
template <class Where, class Work>
void Naming(Where&& where, Work&& work) {
    try {
        work();
    } catch (const fb::Error& error) {
        Fail(where() + u": "_s + OneLine(error.message()));
    }
}

// The scan lookup compares barcodes as numbers, so the database takes digits only.
QString BarcodeRefusal(const fb::Error& error) {
    const QString message = OneLine(error.message());
    if (!message.contains(u"CK_BARCODES_DIGITS"_s)) return message;
    return u"a barcode is 1 to 18 digits (%1)"_s.arg(message);
}

QString ElementText(const char* list, size_t index, const char* idKey, qint64 id) {
    return u"%1 element %2 (%3 %4)"_s.arg(QLatin1StringView(list), QString::number(index + 1),
                                          QLatin1StringView(idKey), QString::number(id));
}

// Empties the master tables and fills them from an update file, on the caller's transaction.
// Each statement text is prepared once and executed per row with fresh values; every value of a
// row is bound, so nothing is carried over from the row before.
class MasterDataWriter {
public:
    MasterDataWriter(fb::Connection& conx, const std::function<void()>& keepAlive)
        : conx_(conx), keepAlive_(keepAlive) {}

    void replace(const UpdateFile& file) {
        emptyTables();
        writeSite(file.site);
        writeRows(kInsertGroup, file.groups, "groups", "grp", [](fb::Query& q, const GroupRow& g) {
            q.bind(u"PRODUCT_GROUP"_s, g.group).bind(u"DESCRIPTION"_s, g.description);
            q.bind(u"GLYPH"_s, Nullable(g.glyph)).bind(u"PRODUCT_GROUP_NO"_s, g.number);
            q.bind(u"FCOL"_s, g.fontColour).bind(u"BCOL"_s, g.buttonColour);
            return g.group;
        });
        writeRows(kInsertUser, file.users, "users", "uid", [](fb::Query& q, const UserRow& u) {
            q.bind(u"UID"_s, u.id).bind(u"NAM"_s, u.name).bind(u"PAS"_s, u.posPass);
            q.bind(u"DOB"_s, u.dob).bind(u"ACC"_s, u.access);
            return u.id;
        });
        writeRows(kInsertDepartment, file.departments, "departments", "did",
                  [](fb::Query& q, const DepartmentRow& d) {
                      q.bind(u"DEPT_ID"_s, d.id).bind(u"DESCRIPTION"_s, d.description);
                      q.bind(u"VAT_RATE"_s, d.vatRate).bind(u"OPEN_DEPT"_s, d.open);
                      q.bind(u"BUTTON"_s, d.button).bind(u"CARD_CODE"_s, d.cardCode);
                      q.bind(u"GROUP_CODE"_s, d.groupCode);
                      return d.id;
                  });
        writeProducts(file.products);
        writeRestrictions(file.restrictions);
        writePromotions(file.promotions);
    }

private:
    // The screen is kept alive every few hundred rows, not after each: pumping events costs
    // more than an insert.
    static constexpr int kRowsPerKeepAlive = 250;

    void run(fb::Query& query) {
        query.execSQL();
        if (++rows_ % kRowsPerKeepAlive == 0) keepAlive();
    }
    void keepAlive() const {
        if (keepAlive_) keepAlive_();
    }

    struct NoDetails {
        template <class Row>
        void operator()(const Row&, size_t) const {}
    };

    // Inserts one row per element of a section: bind binds the element's values and returns
    // its key, details then writes the rows that belong to the element (its barcodes, say).
    template <class Row, class Bind, class Details = NoDetails>
    void writeRows(const QString& sql, const std::vector<Row>& rows, const char* list,
                   const char* idKey, Bind&& bind, Details&& details = {}) {
        fb::Query q(conx_);
        q.setSQL(sql);
        for (size_t i = 0; i < rows.size(); ++i) {
            qint64 id = 0;
            Naming([&] { return ElementText(list, i, idKey, id); },
                   [&] {
                       id = bind(q, rows[i]);
                       run(q);
                       details(rows[i], i);
                   });
        }
    }

    void emptyTables() {
        fb::Query q(conx_);
        for (const char* table : kMasterTables) {
            Naming([&] { return u"emptying %1"_s.arg(QLatin1StringView(table)); },
                   [&] {
                       q.setSQL(u"delete from %1"_s.arg(QLatin1StringView(table)));
                       q.execSQL();
                   });
            keepAlive();
        }
    }

    void writeSite(const SiteDetails& site) {
        Naming([] { return u"site details"_s; },
               [&] {
                   fb::Query q(conx_);
                   q.setSQL(kUpdateSetup);
                   q.bind(u"A1"_s, site.add1).bind(u"A2"_s, site.add2);
                   q.bind(u"PHONE"_s, site.phone).bind(u"VATNO"_s, site.vatNo);
                   q.execSQL();
               });
    }

    // Each product is followed by its barcodes.
    void writeProducts(const std::vector<ProductRow>& products) {
        fb::Query barcode(conx_);
        barcode.setSQL(kInsertBarcode);
        const auto writeBarcodes = [&](const ProductRow& p, size_t i) {
            for (const QString& code : p.barcodes) {
                try {
                    barcode.bind(u"SID"_s, p.sid).bind(u"BARCODE"_s, code);
                    barcode.bind(u"CODE_TYPE"_s, 0);
                    run(barcode);
                } catch (const fb::Error& error) {
                    Fail(ElementText("products", i, "sid", p.sid) +
                         u", barcode \"%1\": %2"_s.arg(code, BarcodeRefusal(error)));
                }
            }
        };
        writeRows(
            kInsertProduct, products, "products", "sid",
            [](fb::Query& q, const ProductRow& p) {
                q.bind(u"SID"_s, p.sid).bind(u"SKU"_s, p.sku);
                q.bind(u"DESCRIPTION"_s, p.description).bind(u"DEPT_ID"_s, p.dept);
                q.bind(u"SP"_s, p.price).bind(u"BGROUP"_s, Nullable(p.group));
                q.bind(u"BNUMBER"_s, Nullable(p.number)).bind(u"BGLYPH"_s, Nullable(p.glyph));
                q.bind(u"BCOLOUR"_s, Nullable(p.colour)).bind(u"VAT_RATE"_s, p.vatRate);
                q.bind(u"CARD_CODE"_s, Nullable(p.cardCode));
                q.bind(u"VENDING_CODE"_s, Nullable(p.vendingCode)).bind(u"STATUS"_s, 0);
                return p.sid;
            },
            writeBarcodes);
    }

    void writeRestrictions(const std::vector<RestrictionRow>& restrictions) {
        fb::Query limit(conx_);
        limit.setSQL(kInsertProductLimit);
        fb::Query age(conx_);
        age.setSQL(kInsertDepartmentAge);
        fb::Query hours(conx_);
        hours.setSQL(kInsertTradingHours);
        for (const RestrictionRow& r : restrictions) {
            Naming([&] { return ElementText("restrictions", size_t(r.element - 1), "id", r.id); },
                   [&] {
                       if (r.type == 0) {
                           limit.bind(u"TYP"_s, r.type).bind(u"SID"_s, r.id);
                           limit.bind(u"VAL"_s, Nullable(r.value));
                           run(limit);
                       } else if (r.type == 3) {
                           hours.bind(u"TYP"_s, r.type).bind(u"DID"_s, r.id);
                           hours.bind(u"DAY"_s, Nullable(r.day));
                           hours.bind(u"BEG"_s, Nullable(r.start)).bind(u"END"_s, Nullable(r.end));
                           run(hours);
                       } else {
                           age.bind(u"TYP"_s, r.type).bind(u"DID"_s, r.id);
                           age.bind(u"VAL"_s, Nullable(r.value));
                           run(age);
                       }
                   });
        }
    }

    // Each promotion is followed by its trigger lines and their products.
    void writePromotions(const std::vector<PromotionRow>& promotions) {
        fb::Query trigger(conx_);
        trigger.setSQL(kInsertTrigger);
        fb::Query product(conx_);
        product.setSQL(kInsertPromoProduct);
        const auto writeLines = [&](const PromotionRow& p, size_t) {
            for (const TriggerRow& t : p.triggers) {
                trigger.bind(u"PID"_s, p.id).bind(u"LIN"_s, t.line).bind(u"QTY"_s, t.quantity);
                run(trigger);
            }
            for (const PromoProductRow& pp : p.products) {
                product.bind(u"PID"_s, p.id).bind(u"LIN"_s, pp.line);
                product.bind(u"SID"_s, pp.sid).bind(u"PRC"_s, pp.price);
                run(product);
            }
        };
        writeRows(
            kInsertPromotion, promotions, "promotions", "pid",
            [](fb::Query& q, const PromotionRow& p) {
                q.bind(u"PID"_s, p.id).bind(u"DSC"_s, p.description).bind(u"TYP"_s, p.type);
                q.bind(u"SDT"_s, p.start.date).bind(u"STM"_s, p.start.time);
                q.bind(u"EDT"_s, p.end.date).bind(u"ETM"_s, p.end.time);
                q.bind(u"PRC"_s, p.price).bind(u"VAL"_s, p.value);
                q.bind(u"DIS"_s, p.discount).bind(u"DAY"_s, p.days);
                return p.id;
            },
            writeLines);
    }

    fb::Connection& conx_;
    const std::function<void()>& keepAlive_;
    qint64 rows_ = 0;
};

// An explicit transaction that rolls back unless committed.
class TransactionScope {
public:
    explicit TransactionScope(fb::Connection& conx) : conx_(conx) { conx_.startTransaction(); }
    ~TransactionScope() {
        if (!conx_.inTransaction()) return;
        try {
            conx_.rollback();
        } catch (...) {
            // A destructor never throws; the engine drops an abandoned transaction's work.
        }
    }
    TransactionScope(const TransactionScope&) = delete;
    TransactionScope& operator=(const TransactionScope&) = delete;

    void commit() { conx_.commit(); }

private:
    fb::Connection& conx_;
};

void ReplaceMasterData(fb::Connection& conx, const UpdateFile& file,
                       const std::function<void()>& keepAlive) {
    TransactionScope transaction(conx);
    MasterDataWriter(conx, keepAlive).replace(file);
    Naming([] { return u"committing"_s; }, [&] { transaction.commit(); });
}

// ---- Files -------------------------------------------------------------------------------

// Copies the file into the folder (made when missing) under its own name, overwriting, and
// deletes the original once the copy is made. The copy replaces the file of that name only
// when it is whole, so a failed copy leaves the old one. False when the copy was not made.
bool MoveFileInto(const QString& fileName, const QString& folder) {
    const QString target = IncludeSlash(folder, true) + QFileInfo(fileName).fileName();
    const QString partial = target + u".part"_s;
    QFile::remove(partial);
    if (!QFile::copy(fileName, partial) || ::rename(QFile::encodeName(partial).constData(),
                                                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(fileName);
    return true;
}

struct Archived {
    QString path;            // where the file is now; empty when it could not be moved at all
    bool inArchive = false;  // under the archive folder, not merely renamed aside
};

// Moves an update file to <its folder>/<archive>/yyyy/mm/. A file that cannot go there is
// renamed aside (x.json.processed): left as *.json it would be taken again by every pass, and
// an applied one would empty the pictures folder each time.
Archived ArchiveUpdateFile(const QString& fileName, const QString& archive) {
    const QFileInfo info(fileName);
    const QString folder = IncludeSlash(info.absolutePath()) + archive + u'/' +
                           Clock::instance().now().toString(u"yyyy/MM"_s) + u'/';
    if (MoveFileInto(fileName, folder)) return {folder + info.fileName(), true};
    const QString aside = fileName + u'.' + archive.toLower();
    QFile::remove(aside);
    return {QFile::rename(fileName, aside) ? aside : QString(), false};
}

QString ArchiveNote(const Archived& archived) {
    if (archived.inArchive) return u"moved to %1"_s.arg(archived.path);
    if (!archived.path.isEmpty())
        return u"it could not be archived and was renamed to %1"_s.arg(archived.path);
    return u"it could not be archived and stays in the import folder"_s;
}

// The files of the import folder matching the mask, in name order, but for those another
// process still holds open: a file the transport is still writing waits for the next pass
// instead of being taken half-written.
QStringList WaitingFiles(const ImportFolders& folders, const QString& mask) {
    QStringList files;
    FindFiles(folders.importFolder, mask, false, 0, true, &files);
    files.removeIf([](const QString& file) { return IsFileInUse(file); });
    return files;
}

int MoveWaitingPictures(const ImportFolders& folders) {
    const QStringList pictures = WaitingFiles(folders, u"*.png"_s);
    int moved = 0;
    for (const QString& picture : pictures)
        if (MoveFileInto(picture, folders.resFolder)) ++moved;
    return moved;
}

int gImportDepth = 0;

// Marks an import as running for as long as it lives.
class RunningImport {
public:
    RunningImport() { ++gImportDepth; }
    ~RunningImport() { --gImportDepth; }
    RunningImport(const RunningImport&) = delete;
    RunningImport& operator=(const RunningImport&) = delete;
};

}  // namespace

ImportFolders ImportFolders::ofDataFolder(const QString& dataFolder) {
    const QString data = IncludeSlash(dataFolder);
    return {data + u"Import/"_s, data + u"Res/"_s};
}

ImportFileResult ImportUpdateFile(fb::Connection& conx, const ImportFolders& folders,
                                  const QString& fileName, const std::function<void()>& keepAlive) {
    const RunningImport running;
    ImportFileResult result;
    try {
        const UpdateFile file = ReadUpdateFile(fileName);
        ReplaceMasterData(conx, file, keepAlive);
        result.applied = true;
    } catch (const std::exception& error) {
        result.reason = QString::fromUtf8(error.what());
    }
    if (result.applied) {
        // Only now: a file that fails must leave the pictures of the master data it keeps.
        EmptyFolder(folders.resFolder, true);
        const Archived archived = ArchiveUpdateFile(fileName, u"Processed"_s);
        result.archivedTo = archived.path;
        if (!archived.inArchive)
            WriteLog(u"Update file %1 was applied, but %2"_s.arg(fileName, ArchiveNote(archived)),
                     0);
    } else {
        const Archived archived = ArchiveUpdateFile(fileName, u"Failed"_s);
        result.archivedTo = archived.path;
        WriteLog(
            u"Update file %1 failed: %2 (%3)"_s.arg(fileName, result.reason, ArchiveNote(archived)),
            0);
    }
    return result;
}

ImportPassResult ImportUpdatesPass(fb::Connection& conx, const ImportFolders& folders,
                                   const ImportView& view) {
    ImportPassResult result;
    if (ImportIsRunning()) return result;
    const RunningImport running;
    const QStringList files = WaitingFiles(folders, u"*.json"_s);
    if (!files.isEmpty()) {
        if (view.filesStarting) view.filesStarting();
        for (const QString& file : files) {
            const ImportFileResult outcome = ImportUpdateFile(conx, folders, file, view.keepAlive);
            (outcome.applied ? result.applied : result.failed) << file;
        }
        if (view.filesDone) view.filesDone();
    }
    result.picturesMoved = MoveWaitingPictures(folders);
    return result;
}

QString StaffCardCode(const QString& password) {
    if (password.isEmpty()) return {};
    QString code = u"888"_s + PadLeft(password, 6, u'0', false);
    if (code.size() % 2 != 0) code += u'0';
    return code;
}

bool ImportIsRunning() {
    return gImportDepth > 0;
}
