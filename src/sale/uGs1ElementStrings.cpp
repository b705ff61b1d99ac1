#include "sale/uGs1ElementStrings.h"

#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>

#include "sale/uBarcodes.h"

using namespace Qt::StringLiterals;

namespace {

enum class TValueKind { Gtin, Text, Date, Weight, Price, Count };

// How one application identifier's value is written.
struct TAiRule {
    int aiLength;
    int minLength;
    int maxLength;
    bool predefined;  // of a predefined length: no separator needs to follow
    TValueKind kind;
};

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool AllDigits(QStringView text) {
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (!IsDigit(c)) return false;
    return true;
}

// GS1's character set 82, which batches and serials are written in.
bool InCharacterSet82(QStringView text) {
    static const QString kPunctuation = u"!\"%&'()*+,-./:;<=>?_"_s;
    for (const QChar c : text) {
        const bool letterOrDigit =
            (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || IsDigit(c);
        if (!letterOrDigit && !kPunctuation.contains(c)) return false;
    }
    return true;
}

// The rule of the AI the text starts with; nothing for an AI this kiosk does not read.
std::optional<TAiRule> RuleAt(QStringView text) {
    if (text.size() < 2 || !IsDigit(text[0]) || !IsDigit(text[1])) return std::nullopt;
    const QStringView ai = text.first(2);
    if (ai == u"01" || ai == u"02") return TAiRule{2, 14, 14, true, TValueKind::Gtin};
    if (ai == u"10" || ai == u"21") return TAiRule{2, 1, 20, false, TValueKind::Text};
    if (ai == u"11" || ai == u"13" || ai == u"15" || ai == u"16" || ai == u"17")
        return TAiRule{2, 6, 6, true, TValueKind::Date};
    if (ai == u"30") return TAiRule{2, 1, 8, false, TValueKind::Count};
    if (text.size() < 4 || !IsDigit(text[3])) return std::nullopt;
    if (text.first(3) == u"310" && text[3] <= u'5')
        return TAiRule{4, 6, 6, true, TValueKind::Weight};
    if (text.first(3) == u"392") return TAiRule{4, 1, 15, false, TValueKind::Price};
    return std::nullopt;
}

[[noreturn]] void Misread(const QString& reason) {
    throw Gs1Misread(reason);
}

double Scaled(QStringView digits, QChar decimals) {
    return digits.toDouble() / std::pow(10.0, decimals.unicode() - u'0');
}

void SetOnce(std::optional<QDate>& field, const QDate& date, QStringView ai) {
    if (field) Misread(u"element %1 appears twice"_s.arg(ai));
    field = date;
}

void SetDate(TGs1Code& code, QStringView ai, const QDate& date) {
    switch (ai[1].unicode()) {
        case u'1':
            return SetOnce(code.produced, date, ai);
        case u'3':
            return SetOnce(code.packed, date, ai);
        case u'5':
            return SetOnce(code.bestBefore, date, ai);
        case u'6':
            return SetOnce(code.sellBy, date, ai);
        default:
            return SetOnce(code.useBy, date, ai);
    }
}

void SetText(QString& field, QStringView ai, QStringView value) {
    if (!InCharacterSet82(value))
        Misread(u"element %1 holds a character outside the GS1 set"_s.arg(ai));
    if (!field.isEmpty()) Misread(u"element %1 appears twice"_s.arg(ai));
    field = value.toString();
}

// Checks one element's value against its rule and stores it in the code.
void Apply(TGs1Code& code, QStringView ai, const TAiRule& rule, QStringView value,
           const QDate& today) {
    if (value.size() < rule.minLength || value.size() > rule.maxLength)
        Misread(u"element %1 has a value of %2 characters"_s.arg(ai).arg(value.size()));
    if (rule.kind != TValueKind::Text && !AllDigits(value))
        Misread(u"element %1 is not all digits"_s.arg(ai));
    switch (rule.kind) {
        case TValueKind::Gtin:
            if (!GtinCheckDigitValid(value))
                Misread(u"the GTIN %1 has a wrong check digit"_s.arg(value));
            if (!code.gtin.isEmpty()) Misread(u"the code carries more than one GTIN"_s);
            code.gtin = value.toString();
            break;
        case TValueKind::Text:
            SetText(ai == u"10" ? code.batch : code.serial, ai, value);
            break;
        case TValueKind::Date: {
            const std::optional<QDate> date = Gs1Date(value, today);
            if (!date) Misread(u"element %1 is not a date: %2"_s.arg(ai, value));
            SetDate(code, ai, *date);
            break;
        }
        case TValueKind::Weight:
            if (code.netWeightKg) Misread(u"the net weight appears twice"_s);
            code.netWeightKg = Scaled(value, ai[3]);
            break;
        case TValueKind::Price:
            if (code.price) Misread(u"the price appears twice"_s);
            code.price = Scaled(value, ai[3]);
            break;
        case TValueKind::Count:
            if (code.count) Misread(u"the count appears twice"_s);
            code.count = value.toInt();
            if (*code.count <= 0) Misread(u"element 30 counts no items"_s);
            break;
    }
}

void RequireGtin(const TGs1Code& code) {
    if (code.gtin.isEmpty()) Misread(u"the code carries no GTIN"_s);
}

// The AI a Digital Link names by its number alone.
TAiRule DigitalLinkRule(QStringView ai) {
    const std::optional<TAiRule> rule = RuleAt(ai);
    if (!rule || rule->aiLength != ai.size()) Misread(u"unknown element %1"_s.arg(ai));
    return *rule;
}

}  // namespace

std::optional<QDate> Gs1Date(QStringView yymmdd, const QDate& today) {
    if (yymmdd.size() != 6 || !AllDigits(yymmdd)) return std::nullopt;
    const int yy = yymmdd.first(2).toInt();
    const int month = yymmdd.sliced(2, 2).toInt();
    const int day = yymmdd.sliced(4, 2).toInt();
    const int century = today.year() / 100 * 100;
    const int offset = yy - today.year() % 100;
    int year = century + yy;
    if (offset >= 51)
        year -= 100;
    else if (offset <= -50)
        year += 100;
    if (month < 1 || month > 12) return std::nullopt;
    const QDate first(year, month, 1);
    if (day == 0) return QDate(year, month, first.daysInMonth());
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

TGs1Code ReadGs1ElementString(QStringView text, const QDate& today) {
    TGs1Code code;
    qsizetype at = 0;
    if (text.startsWith(kGroupSeparator)) ++at;
    if (at >= text.size()) Misread(u"the code is empty"_s);
    while (at < text.size()) {
        const QStringView rest = text.sliced(at);
        const std::optional<TAiRule> rule = RuleAt(rest);
        if (!rule)
            Misread(u"unknown element at \"%1\""_s.arg(
                rest.first(std::min<qsizetype>(4, rest.size()))));
        const QStringView ai = rest.first(rule->aiLength);
        const QStringView afterAi = rest.sliced(rule->aiLength);
        qsizetype length = 0;
        if (rule->predefined) {
            length = std::min<qsizetype>(rule->maxLength, afterAi.size());
        } else {
            length = afterAi.indexOf(kGroupSeparator);
            if (length < 0) length = afterAi.size();
        }
        const QStringView value = afterAi.first(length);
        if (value.contains(kGroupSeparator))
            Misread(u"element %1 is cut short by a separator"_s.arg(ai));
        Apply(code, ai, *rule, value, today);
        at += rule->aiLength + length;
        // A separator after an element of predefined length is needless but harmless.
        if (at < text.size() && text[at] == kGroupSeparator) ++at;
    }
    RequireGtin(code);
    return code;
}

TGs1Code ReadGs1DigitalLink(const QString& address, const QDate& today) {
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"https"_s && scheme != u"http"_s) || url.host().isEmpty())
        Misread(u"not a web address"_s);
    // Split before decoding: a batch may hold an encoded "/".
    QStringList segments = url.path(QUrl::FullyEncoded).split(u'/', Qt::SkipEmptyParts);
    for (QString& segment : segments) segment = QUrl::fromPercentEncoding(segment.toUtf8());
    const qsizetype gtinAt = segments.indexOf(u"01"_s);
    if (gtinAt < 0 || gtinAt + 1 >= segments.size()) Misread(u"the address names no GTIN"_s);
    TGs1Code code;
    for (qsizetype i = gtinAt; i < segments.size(); i += 2) {
        if (i + 1 >= segments.size()) Misread(u"element %1 has no value"_s.arg(segments[i]));
        const QString& ai = segments[i];
        QString value = segments[i + 1];
        // A Digital Link may shorten the GTIN to its GTIN-8, -12 or -13 form.
        if (ai == u"01"_s && AllDigits(value) && value.size() < 14 &&
            (value.size() == 8 || value.size() == 12 || value.size() == 13))
            value = value.rightJustified(14, u'0');
        Apply(code, ai, DigitalLinkRule(ai), value, today);
    }
    // Query parameters that are no AI (linkType, a shop's own) are not the code's.
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        if (AllDigits(key)) Apply(code, key, DigitalLinkRule(key), value, today);
    RequireGtin(code);
    return code;
}
