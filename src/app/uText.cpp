#include "app/uText.h"

#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;

// ---- Tokens ------------------------------------------------------------------------------

namespace {

QStringList& separatorStack() {
    static QStringList stack;
    return stack;
}

QString currentSeparator() {
    const QStringList& stack = separatorStack();
    return stack.isEmpty() ? u"@"_s : stack.last();
}

}  // namespace

void PushSeparator(const QString& separator) {
    separatorStack().append(separator);
}

void PopSeparator() {
    if (!separatorStack().isEmpty()) separatorStack().removeLast();
}

int TokenCount(const QString& text) {
    return TokenCount(text, currentSeparator());
}

int TokenCount(const QString& text, const QString& separator) {
    if (separator.isEmpty()) return 1;
    int count = 1;
    for (qsizetype pos = text.indexOf(separator); pos >= 0;
         pos = text.indexOf(separator, pos + separator.size()))
        ++count;
    return count;
}

QString GetToken(int index, const QString& text) {
    return GetToken(index, text, currentSeparator());
}

QString GetToken(int index, const QString& text, const QString& separator) {
    if (index < 0 || index >= TokenCount(text, separator)) return {};
    if (separator.isEmpty()) return text;
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) start = text.indexOf(separator, start) + separator.size();
    const qsizetype end = text.indexOf(separator, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

// ---- Numbers and texts -------------------------------------------------------------------

QString PadLeft(const QString& text, int width, QChar pad, bool cut) {
    QString result = cut && text.size() > width ? text.left(width) : text;
    if (result.size() < width) result.prepend(QString(width - result.size(), pad));
    return result;
}

QString IntText(qint64 value) {
    return QString::number(value);
}

qint64 TextToInt(const QString& text, qint64 defaultValue) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : defaultValue;
}

bool IsYes(const QString& text) {
    return text.toUpper() == u"Y"_s;
}

QString CleanCsvField(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c == u'"' || c == u'\'' || c == u',') c = u' ';
    return result;
}

QString PlainCaption(const QString& caption) {
    QString text = caption;
    text.replace(u"&&"_s, u"\x01"_s);
    text.remove(u'&');
    text.replace(u"\x01"_s, u"&"_s);
    return text.simplified();
}

QString FloatText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

int ContrastColour(int colour) {
    const int red = colour & 0xFF;
    const int green = (colour >> 8) & 0xFF;
    const int blue = (colour >> 16) & 0xFF;
    const double lightness = 1 - (0.299 * red + 0.587 * green + 0.114 * blue) / 255;
    return lightness >= 0.5 ? 16777215 : 0;
}

namespace {

// The linear light of one sRGB channel of 0..255.
double LinearChannel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double RelativeLuminance(int colour) {
    return 0.2126 * LinearChannel(colour & 0xFF) + 0.7152 * LinearChannel((colour >> 8) & 0xFF) +
           0.0722 * LinearChannel((colour >> 16) & 0xFF);
}

double ContrastRatio(int first, int second) {
    const double a = RelativeLuminance(first);
    const double b = RelativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

int CaptionColour(int colour) {
    constexpr int Black = 0;
    constexpr int White = 0xFFFFFF;
    return ContrastRatio(colour, White) > ContrastRatio(colour, Black) ? White : Black;
}

QString FormatMoney(int decimals, bool thousands, bool parentheses, qint64 value) {
    QLocale locale;
    locale.setNumberOptions(thousands ? QLocale::DefaultNumberOptions
                                      : QLocale::OmitGroupSeparator);
    // The extra tenth of the last unit makes an exact half round upward.
    QString text = locale.toString((double(value) + 0.1) / 10000, 'f', std::max(decimals, 0));
    const QString minus = locale.negativeSign();
    const bool zero = std::all_of(text.begin(), text.end(),
                                  [](QChar c) { return !c.isDigit() || c.digitValue() == 0; });
    if (zero) text.remove(minus);  // never "-0.00"
    if (parentheses && text.contains(minus)) text.replace(minus, u"("_s).append(u')');
    return text;
}

QString MoneyText(double amount) {
    return FormatMoney(2, true, false, qRound64(amount * 10000));
}

double ParseMoney(const QString& text, double defaultValue) {
    if (text.isEmpty()) return defaultValue;
    const QLocale locale;
    QString number = text;
    const qsizetype open = number.indexOf(u'(');
    if (open >= 0 && number.indexOf(u')') > open)
        number.replace(u"("_s, locale.negativeSign()).remove(u')');
    number.remove(locale.groupSeparator());
    bool ok = false;
    const double value = locale.toDouble(number, &ok);
    // The locale reads "inf" and "nan" too, which are no amount of money.
    return ok && std::isfinite(value) ? value : 0;
}

QString DateTimeText(bool dateOnly, const QDateTime& dateTime) {
    if (dateOnly) return dateTime.toString(u"yyyy-MM-dd"_s);
    return dateTime.toString(u"yyyy-MM-dd HH:mm:ss."_s) + QString::number(dateTime.time().msec());
}

namespace {

const QDate DayZero(1899, 12, 30);
constexpr double MSecsPerDay = 86400000.0;

}  // namespace

double DateTimeToDayNumber(const QDateTime& dateTime) {
    const double days = double(DayZero.daysTo(dateTime.date()));
    const double fraction = dateTime.time().msecsSinceStartOfDay() / MSecsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime DayNumberToDateTime(double dayNumber) {
    qint64 days = qint64(std::trunc(dayNumber));
    qint64 msecs = std::llround(std::fabs(dayNumber - double(days)) * MSecsPerDay);
    if (msecs >= qint64(MSecsPerDay)) {  // rounded up to the next midnight
        msecs = 0;
        days += dayNumber < 0 ? -1 : 1;
    }
    return QDateTime(DayZero.addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}
