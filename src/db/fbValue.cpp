#include "db/fbValue.h"

#include <cmath>

#include "db/fbError.h"

namespace fb {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

[[noreturn]] void cannotConvert(const QString& text, const char* kind) {
    throw Error(QStringLiteral("'%1' is not a valid %2").arg(text, QString::fromLatin1(kind)));
}

}  // namespace

qint64 Value::toInt64() const {
    return std::visit(
        Overloaded{[](std::monostate) -> qint64 { return 0; }, [](qint64 v) { return v; },
                   [](double v) { return qint64(std::llround(v)); },
                   [](bool v) -> qint64 { return v ? 1 : 0; },
                   [](const QString& v) -> qint64 {
                       bool ok = false;
                       const qint64 n = v.trimmed().toLongLong(&ok);
                       if (!ok) cannotConvert(v, "integer");
                       return n;
                   },
                   [](const auto&) -> qint64 { throw Error("Value is not a number"); }},
        data_);
}

double Value::toDouble() const {
    return std::visit(
        Overloaded{[](std::monostate) { return 0.0; }, [](qint64 v) { return double(v); },
                   [](double v) { return v; }, [](bool v) { return v ? 1.0 : 0.0; },
                   [](const QString& v) {
                       bool ok = false;
                       const double d = v.trimmed().toDouble(&ok);
                       if (!ok) cannotConvert(v, "number");
                       return d;
                   },
                   [](const auto&) -> double { throw Error("Value is not a number"); }},
        data_);
}

QString Value::toString() const {
    return std::visit(
        Overloaded{[](std::monostate) { return QString(); },
                   [](qint64 v) { return QString::number(v); },
                   [](double v) { return QString::number(v, 'g', 15); },
                   [](bool v) { return v ? QStringLiteral("True") : QStringLiteral("False"); },
                   [](const QString& v) { return v; },
                   [](const QDate& v) { return v.toString(QStringLiteral("yyyy-MM-dd")); },
                   [](const QTime& v) { return v.toString(QStringLiteral("HH:mm:ss")); },
                   [](const QDateTime& v) {
                       return v.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
                   },
                   [](const QByteArray& v) { return QString::fromUtf8(v); }},
        data_);
}

QDateTime Value::toDateTime() const {
    return std::visit(
        Overloaded{[](const QDateTime& v) { return v; },
                   [](const QDate& v) { return QDateTime(v, QTime(0, 0)); },
                   [](const QTime& v) { return QDateTime(QDate(1899, 12, 30), v); },
                   [](std::monostate) { return QDateTime(); },
                   [](const QString& v) {
                       QDateTime dt = QDateTime::fromString(v.trimmed(), Qt::ISODateWithMs);
                       if (!dt.isValid()) cannotConvert(v, "date-time");
                       return dt;
                   },
                   [](const auto&) -> QDateTime { throw Error("Value is not a date-time"); }},
        data_);
}

QTime Value::toTime() const {
    if (const auto* t = std::get_if<QTime>(&data_)) return *t;
    return toDateTime().time();
}

bool Value::toBool() const {
    if (const auto* b = std::get_if<bool>(&data_)) return *b;
    return toInt64() != 0;
}

}  // namespace fb
