#include "backoffice/uUpdateFileReader.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "app/uText.h"
#include "backoffice/uImportUpdates.h"
#include "sale/uStops.h"

using namespace Qt::StringLiterals;

namespace updatefile {
namespace {

// ---- Text of the file --------------------------------------------------------------------

QByteArray Utf16ToUtf8(QByteArrayView bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) Fail(u"the file is not valid UTF-16 text"_s);
    return text.toUtf8();
}

QString MiB(qint64 bytes) {
    return u"%1 MiB"_s.arg(bytes / (1024 * 1024));
}

[[noreturn]] void FailTooLarge(qint64 size) {
    Fail(u"the file is larger than the limit of %1 for an update file (%2 bytes)"_s.arg(
        MiB(kMaxUpdateFileBytes), QString::number(size)));
}

// Reads at most one byte past the limit, whatever size the file claims: a file still growing,
// or one that is not a plain file, cannot make the read unbounded.
QByteArray ReadBytes(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        Fail(u"the file cannot be read (%1)"_s.arg(file.errorString()));
    if (file.size() > kMaxUpdateFileBytes) FailTooLarge(file.size());
    const QByteArray bytes = file.read(kMaxUpdateFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        Fail(u"the file cannot be read (%1)"_s.arg(file.errorString()));
    if (bytes.size() > kMaxUpdateFileBytes) FailTooLarge(bytes.size());
    return bytes;
}

// A byte-order mark selects UTF-8 or UTF-16 (either byte order); without one the text is UTF-8.
QByteArray Utf8Text(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return bytes.mid(3);
    if (bytes.startsWith("\xFF\xFE"))
        return Utf16ToUtf8(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return Utf16ToUtf8(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16BE);
    return bytes;
}

// Passes the parser's events on to the document, refusing nesting beyond the limit.
class DepthLimit {
public:
    explicit DepthLimit(rapidjson::Document& document) : document_(document) {}

    bool exceeded() const { return exceeded_; }

    bool Null() { return document_.Null(); }
    bool Bool(bool b) { return document_.Bool(b); }
    bool Int(int i) { return document_.Int(i); }
    bool Uint(unsigned i) { return document_.Uint(i); }
    bool Int64(int64_t i) { return document_.Int64(i); }
    bool Uint64(uint64_t i) { return document_.Uint64(i); }
    bool Double(double d) { return document_.Double(d); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.RawNumber(text, length, copy);
    }
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.String(text, length, copy);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.Key(text, length, copy);
    }
    bool StartObject() { return enter() && document_.StartObject(); }
    bool EndObject(rapidjson::SizeType members) {
        --depth_;
        return document_.EndObject(members);
    }
    bool StartArray() { return enter() && document_.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) {
        --depth_;
        return document_.EndArray(elements);
    }

private:
    bool enter() {
        exceeded_ = ++depth_ > kMaxUpdateFileDepth;
        return !exceeded_;
    }

    rapidjson::Document& document_;
    int depth_ = 0;
    bool exceeded_ = false;
};

// Numbers are kept as the text they were written in: the raw kinds read that text. The parser
// is the iterative one, which keeps its stack on the heap rather than on the call stack.
rapidjson::Document ParseObject(const QByteArray& text) {
    // The parser stops at a NUL character; what followed it would go unread.
    if (text.contains('\0')) Fail(u"the text holds a NUL character"_s);
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag |
                                rapidjson::kParseNumbersAsStringsFlag |
                                rapidjson::kParseValidateEncodingFlag;
    rapidjson::Document document;
    rapidjson::Reader reader;
    bool deep = false;
    auto parse = [&](rapidjson::Document& target) {
        // Bounded by the text's size: a string stream runs on past the end of a text that
        // stops inside a multi-byte character while the parser checks its encoding.
        rapidjson::MemoryStream stream(text.constData(), size_t(text.size()));
        DepthLimit limit(target);
        reader.Parse<kFlags>(stream, limit);
        deep = limit.exceeded();
        return !reader.HasParseError();
    };
    document.Populate(parse);
    if (deep) {
        Fail(u"the text nests arrays and objects deeper than the limit of %1 levels (at byte %2)"_s
                 .arg(QString::number(kMaxUpdateFileDepth),
                      QString::number(reader.GetErrorOffset())));
    }
    if (reader.HasParseError()) {
        Fail(u"the text is not valid JSON (%1 at byte %2)"_s.arg(
            QString::fromUtf8(rapidjson::GetParseError_En(reader.GetParseErrorCode())),
            QString::number(reader.GetErrorOffset())));
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

// A string value read whole as a number of type T: none when the value is no string or
// anything but blanks stands beside the number.
template <typename T>
std::optional<T> ParsedAs(const Json& value) {
    if (!value.IsString()) return std::nullopt;
    const std::string_view text = TrimmedBytes(value);
    T number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

std::optional<double> NumberOf(const Json& value) {
    const std::optional<double> number = ParsedAs<double>(value);
    return number && std::isfinite(*number) ? number : std::nullopt;
}

// A whole number, written as one or as a number with no fraction (12.0), in 32 bits.
std::optional<qint32> WholeOf(const Json& value) {
    std::optional<qint64> whole = ParsedAs<qint64>(value);
    if (!whole) {
        const std::optional<double> number = NumberOf(value);
        if (!number || *number != std::trunc(*number) || std::fabs(*number) > 1e10)
            return std::nullopt;
        whole = qint64(*number);
    }
    if (*whole < std::numeric_limits<qint32>::min() || *whole > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(*whole);
}

// The required key's value as read by parse, which gives none for a value not of the kind.
template <typename Parse>
auto Parsed(const Json& object, const char* key, Parse parse, const char* kind) {
    const auto value = parse(Required(object, key));
    if (!value) Unreadable(key, kind);
    return *value;
}

// The low 32 bits, as the raw whole kinds store a longer number.
qint32 Low32(qint64 value) {
    return qint32(quint32(quint64(value)));
}

QString Text(const Json& object, const char* key) {
    return Parsed(object, key, ScalarText, "text");
}

// Descriptions may carry the euro sign as the six characters \u20AC.
QString EuroText(const Json& object, const char* key) {
    return Text(object, key).replace(u"\\u20AC"_s, QString(QChar(0x20AC)));
}

qint32 RawWhole(const Json& object, const char* key) {
    return Low32(TextToInt(Text(object, key), 0));
}

// Reads amounts as ParseMoney reads them in the locale of the moment. The locale's signs are
// looked up once per file, not once per amount: where they are the plain ones, an amount
// written plainly ("-12.50") is read directly, which is what the locale's reading gives too.
class Amounts {
public:
    Amounts() {
        const QLocale locale;
        plain_ = locale.decimalPoint() == u"."_s && locale.groupSeparator() != u"."_s &&
                 locale.negativeSign() == u"-"_s && locale.zeroDigit() == u"0"_s;
    }

    double read(const Json& object, const char* key) const {
        const Json& value = Required(object, key);
        if (plain_ && value.IsString()) {
            const std::string_view text(value.GetString(), value.GetStringLength());
            if (const std::optional<double> number = Plain(text)) return *number;
        }
        return ParseMoney(Text(object, key), 0);
    }

private:
    // "-12.50", "7": an optional minus, digits, and a point with digits after it.
    static std::optional<double> Plain(std::string_view text) {
        const auto digits = [](std::string_view part) {
            return !part.empty() && std::all_of(part.begin(), part.end(),
                                                [](char c) { return c >= '0' && c <= '9'; });
        };
        std::string_view body = text;
        if (body.starts_with('-')) body.remove_prefix(1);
        const size_t point = body.find('.');
        if (!digits(body.substr(0, point)) ||
            (point != std::string_view::npos && !digits(body.substr(point + 1))))
            return std::nullopt;
        double number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
            return std::nullopt;
        return number;
    }

    bool plain_ = false;
};

qint32 Whole(const Json& object, const char* key) {
    return Parsed(object, key, WholeOf, "a whole number");
}

double Decimal(const Json& object, const char* key) {
    return Parsed(object, key, NumberOf, "a number");
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

// Day numbers count days from 30 December 1899, the time of day being the fraction; before
// that day the fraction still counts forward from midnight (-1.25 is 29 December 1899 06:00).
// Kept apart from DayNumberToDateTime: a number outside the years 1 to 9999 must fail the file,
// and a time that rounds up to midnight goes on to the next day before day zero too.
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

// ---- Sections ----------------------------------------------------------------------------

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

DepartmentRow ReadDepartment(const Json& e, const Amounts& amounts) {
    return {RawWhole(e, "did"), Text(e, "dsc"), amounts.read(e, "rte"), Text(e, "opn"),
            RawWhole(e, "btn"), Text(e, "crd"), Text(e, "grp")};
}

ProductRow ReadProduct(const Json& e, const Amounts& amounts) {
    ProductRow p{RawWhole(e, "sid"),
                 RawWhole(e, "sku"),
                 EuroText(e, "dsc"),
                 RawWhole(e, "did"),
                 amounts.read(e, "rte"),
                 amounts.read(e, "sp"),
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

// Each prefix may be named once: a code cannot be read two ways.
PriceCodeRow ReadPriceCode(const Json& e, const std::vector<PriceCodeRow>& earlier) {
    const QString prefix = Text(e, "pfx");
    if (prefix.size() != 2 || prefix[0] != u'2' || prefix[1] < u'0' || prefix[1] > u'9')
        Fail(u"key \"pfx\" is not an in-store prefix from \"20\" to \"29\""_s);
    for (const PriceCodeRow& row : earlier)
        if (row.prefix == prefix) Fail(u"the prefix %1 is named twice"_s.arg(prefix));
    const QString type = Text(e, "typ");
    if (type != u"P"_s && type != u"W"_s) Fail(u"key \"typ\" is not \"P\" or \"W\""_s);
    const Json& check = Required(e, "vck");
    if (!check.IsBool()) Unreadable("vck", "true or false");
    return {prefix, type == u"W"_s, check.GetBool()};
}

// A batch or serial of a GS1 code: at most 20 characters; empty is none.
std::optional<QString> OptionalGs1Text(const Json& e, const char* key) {
    std::optional<QString> text = OptionalText(e, key);
    if (text && text->size() > 20)
        Fail(u"key \"%1\" is longer than 20 characters"_s.arg(QLatin1StringView(key)));
    return text && !text->isEmpty() ? text : std::nullopt;
}

RecallRow ReadRecall(const Json& e) {
    const QString gtin = Gtin14(Text(e, "gtn"));
    if (gtin.isEmpty()) Unreadable("gtn", "a GTIN with its check digit");
    bool plainCodes = false;
    if (const Json* plain = Find(e, "pln")) {
        if (!plain->IsBool()) Unreadable("pln", "true or false");
        plainCodes = plain->GetBool();
    }
    return {gtin,
            OptionalGs1Text(e, "bat"),
            OptionalGs1Text(e, "srf"),
            OptionalGs1Text(e, "srt"),
            DateTime(e, "beg").date,
            EuroText(e, "dsc"),
            plainCodes};
}

}  // namespace

UpdateFile ReadUpdateFile(const QString& fileName) {
    return ParseUpdateFile(ReadBytes(fileName));
}

UpdateFile ParseUpdateFile(const QByteArray& bytes) {
    if (bytes.size() > kMaxUpdateFileBytes) FailTooLarge(bytes.size());
    const rapidjson::Document document = ParseObject(Utf8Text(bytes));
    UpdateFile file;
    const Amounts amounts;
    file.site = {Text(document, "site1"), Text(document, "site2"), Text(document, "phone"),
                 Text(document, "vatno")};
    ForEachElement(document, "groups", "grp",
                   [&](const Json& e, int) { file.groups.push_back(ReadGroup(e)); });
    ForEachElement(document, "users", "uid",
                   [&](const Json& e, int) { file.users.push_back(ReadUser(e)); });
    ForEachElement(document, "departments", "did", [&](const Json& e, int) {
        file.departments.push_back(ReadDepartment(e, amounts));
    });
    ForEachElement(document, "products", "sid",
                   [&](const Json& e, int) { file.products.push_back(ReadProduct(e, amounts)); });
    ForEachElement(document, "restrictions", "id", [&](const Json& e, int number) {
        ReadRestriction(e, number, file.restrictions);
    });
    ForEachElement(document, "promotions", "pid",
                   [&](const Json& e, int) { file.promotions.push_back(ReadPromotion(e)); });
    ForEachElement(document, "price_codes", "pfx", [&](const Json& e, int) {
        file.priceCodes.push_back(ReadPriceCode(e, file.priceCodes));
    });
    ForEachElement(document, "recalls", "gtn",
                   [&](const Json& e, int) { file.recalls.push_back(ReadRecall(e)); });
    return file;
}

}  // namespace updatefile
