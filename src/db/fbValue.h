#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <variant>

namespace fb {

// One parameter or field value. SQL NULL is its own state, never a sentinel.
class Value {
public:
    using Data = std::variant<std::monostate, qint64, double, QString, QDate, QTime, QDateTime,
                              QByteArray, bool>;

    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : data_(qint64(v)) {}
    Value(qint64 v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(bool v) : data_(v) {}
    Value(const QString& v) : data_(v) {}
    Value(const char* v) : data_(QString::fromUtf8(v)) {}
    Value(const QDate& v) : data_(v) {}
    Value(const QTime& v) : data_(v) {}
    Value(const QDateTime& v) : data_(v) {}
    Value(const QByteArray& v) : data_(v) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(data_); }
    const Data& data() const { return data_; }

    // Conversions in the manner of a dataset field: NULL reads as 0, empty text or an invalid
    // date; text that is not a number raises fb::Error.
    qint64 toInt64() const;
    int toInt() const { return int(toInt64()); }
    double toDouble() const;
    QString toString() const;
    QDateTime toDateTime() const;
    QDate toDate() const { return toDateTime().date(); }
    QTime toTime() const;
    bool toBool() const;

private:
    Data data_;
};

}  // namespace fb
