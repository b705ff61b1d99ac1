#include "db/fbStatement.h"

#include <cmath>
#include <cstring>

#include "db/fbSqlText.h"

namespace fb {

namespace {

constexpr unsigned kUtf8 = 4;
constexpr unsigned kOctets = 1;
constexpr unsigned kMaxVarying = 32765;
constexpr int kIscDateOffset = 2400001;  // Julian day of 17 November 1858

ISC_DATE toIscDate(const QDate& d) {
    return ISC_DATE(d.toJulianDay() - kIscDateOffset);
}
QDate fromIscDate(ISC_DATE d) {
    return QDate::fromJulianDay(qint64(d) + kIscDateOffset);
}
ISC_TIME toIscTime(const QTime& t) {
    return ISC_TIME(t.msecsSinceStartOfDay()) * 10;
}
QTime fromIscTime(ISC_TIME t) {
    return QTime::fromMSecsSinceStartOfDay(int(t / 10));
}

unsigned textBucket(qsizetype bytes) {
    unsigned size = 32;
    while (size < bytes) size *= 2;
    return std::min(size, kMaxVarying);
}

template <class T>
T readAt(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void writeAt(unsigned char* p, const T& v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

PreparedStatement::PreparedStatement(Firebird::IAttachment* attachment,
                                     Firebird::ITransaction* transaction, const QString& sql)
    : attachment_(attachment), sql_(sql) {
    const PositionalSql positional = translateNamedParameters(sql);
    parameterNames_ = positional.names;
    const QByteArray text = positional.text.toUtf8();
    Status st;
    statement_.reset(attachment_->prepare(&st, transaction, unsigned(text.size()), text.constData(),
                                          3, Firebird::IStatement::PREPARE_PREFETCH_METADATA));
    st.check();
    type_ = statement_->getType(&st);
    declaredInput_.reset(statement_->getInputMetadata(&st));
    output_.reset(statement_->getOutputMetadata(&st));
    st.check();
    if (declaredInput_->getCount(&st) != unsigned(parameterNames_.size())) {
        throw Error(
            QStringLiteral("The parameters of the statement could not be matched: %1").arg(sql));
    }
    readColumns();
    readDeclaredInput();
}

PreparedStatement::~PreparedStatement() {
    Status st;
    if (!statement_.tryClose(
            [](Firebird::IStatement* s, Firebird::CheckStatusWrapper* status) { s->free(status); },
            st))
        statement_.reset();  // a destructor never throws; released, the engine frees it at detach
}

bool PreparedStatement::returnsRows() const {
    return type_ == isc_info_sql_stmt_select || type_ == isc_info_sql_stmt_select_for_upd;
}

bool PreparedStatement::isDefinition() const {
    return type_ == isc_info_sql_stmt_ddl;
}

void PreparedStatement::readColumns() {
    Status st;
    const unsigned count = output_->getCount(&st);
    columns_.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        Column& c = columns_[i];
        c.name = QString::fromUtf8(output_->getAlias(&st, i)).toUpper();
        c.type = output_->getType(&st, i) & ~1u;
        c.subType = output_->getSubType(&st, i);
        c.scale = output_->getScale(&st, i);
        c.charSet = output_->getCharSet(&st, i);
        c.length = output_->getLength(&st, i);
        c.offset = output_->getOffset(&st, i);
        c.nullOffset = output_->getNullOffset(&st, i);
    }
    outputBuffer_.assign(output_->getMessageLength(&st), 0);
    st.check();
}

void PreparedStatement::readDeclaredInput() {
    Status st;
    inputs_.resize(declaredInput_->getCount(&st));
    for (unsigned i = 0; i < inputs_.size(); ++i) {
        inputs_[i].declaredType = declaredInput_->getType(&st, i) & ~1u;
        inputs_[i].declaredSubType = declaredInput_->getSubType(&st, i);
    }
    st.check();
}

// The kind a value is sent in. The message is rebuilt only when a kind changes, so a NULL keeps
// the kind its parameter has, and text keeps the largest length bucket it has needed.
PreparedStatement::InputKind PreparedStatement::kindFor(const InputSlot& slot,
                                                        const Value& value) const {
    const InputKind& current = slot.kind;
    return std::visit(
        [&](const auto& v) -> InputKind {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, QByteArray>) {
                if (slot.declaredType == SQL_BLOB) return {SQL_BLOB, slot.declaredSubType, 8, 0};
                const bool text = std::is_same_v<T, QString>;
                const unsigned charSet = text ? kUtf8 : kOctets;
                unsigned length = textBucket(text ? v.size() * 3 : v.size());
                if (current.type == SQL_VARYING && current.charSet == charSet)
                    length = std::max(length, current.length);
                return {SQL_VARYING, 0, length, charSet};
            } else if constexpr (std::is_same_v<T, qint64>) {
                return {SQL_INT64, 0, 8, 0};
            } else if constexpr (std::is_same_v<T, double>) {
                return {SQL_DOUBLE, 0, 8, 0};
            } else if constexpr (std::is_same_v<T, bool>) {
                return {SQL_BOOLEAN, 0, 1, 0};
            } else if constexpr (std::is_same_v<T, QDate>) {
                return {SQL_TYPE_DATE, 0, 4, 0};
            } else if constexpr (std::is_same_v<T, QTime>) {
                return {SQL_TYPE_TIME, 0, 4, 0};
            } else if constexpr (std::is_same_v<T, QDateTime>) {
                return {SQL_TIMESTAMP, 0, 8, 0};
            } else {
                return current;  // NULL: only the null indicator is written
            }
        },
        value.data());
}

void PreparedStatement::bind(const std::vector<const Value*>& values,
                             Firebird::ITransaction* transaction) {
    bool changed = !input_;
    for (size_t i = 0; i < values.size(); ++i) {
        const InputKind kind = kindFor(inputs_[i], *values[i]);
        if (kind == inputs_[i].kind) continue;
        inputs_[i].kind = kind;
        changed = true;
    }
    if (changed) rebuildInputMetadata();
    for (size_t i = 0; i < values.size(); ++i) writeInput(inputs_[i], *values[i], transaction);
}

void PreparedStatement::rebuildInputMetadata() {
    Status st;
    const Handle<Firebird::IMetadataBuilder> builder(
        master()->getMetadataBuilder(&st, unsigned(inputs_.size())));
    st.check();
    for (unsigned i = 0; i < inputs_.size(); ++i) {
        const InputKind& kind = inputs_[i].kind;
        builder->setType(&st, i, kind.type + 1);
        builder->setSubType(&st, i, kind.subType);
        builder->setLength(&st, i, kind.length);
        builder->setCharSet(&st, i, kind.charSet);
        builder->setScale(&st, i, 0);
    }
    Handle<Firebird::IMessageMetadata> metadata(builder->getMetadata(&st));
    st.check();
    input_ = std::move(metadata);
    inputBuffer_.assign(input_->getMessageLength(&st), 0);
    for (unsigned i = 0; i < inputs_.size(); ++i) {
        inputs_[i].offset = input_->getOffset(&st, i);
        inputs_[i].nullOffset = input_->getNullOffset(&st, i);
    }
    st.check();
}

void PreparedStatement::writeInput(const InputSlot& slot, const Value& value,
                                   Firebird::ITransaction* transaction) {
    unsigned char* data = inputBuffer_.data() + slot.offset;
    writeAt<ISC_SHORT>(inputBuffer_.data() + slot.nullOffset, value.isNull() ? -1 : 0);
    if (value.isNull()) return;
    const InputKind& kind = slot.kind;
    const auto& v = value.data();
    switch (kind.type) {
        case SQL_VARYING: {
            const QByteArray bytes =
                kind.charSet == kOctets ? std::get<QByteArray>(v) : std::get<QString>(v).toUtf8();
            if (bytes.size() > qsizetype(kind.length))
                throw Error(
                    QStringLiteral("A text parameter is longer than %1 bytes").arg(kind.length));
            writeAt<ISC_USHORT>(data, ISC_USHORT(bytes.size()));
            std::memcpy(data + 2, bytes.constData(), size_t(bytes.size()));
            break;
        }
        case SQL_BLOB: {
            const QByteArray bytes = std::holds_alternative<QString>(v)
                                         ? std::get<QString>(v).toUtf8()
                                         : std::get<QByteArray>(v);
            writeAt(data, writeBlob(transaction, bytes));
            break;
        }
        case SQL_INT64:
            writeAt<ISC_INT64>(data, std::get<qint64>(v));
            break;
        case SQL_DOUBLE:
            writeAt<double>(data, std::get<double>(v));
            break;
        case SQL_BOOLEAN:
            writeAt<FB_BOOLEAN>(data, std::get<bool>(v) ? FB_TRUE : FB_FALSE);
            break;
        case SQL_TYPE_DATE:
            writeAt(data, toIscDate(std::get<QDate>(v)));
            break;
        case SQL_TYPE_TIME:
            writeAt(data, toIscTime(std::get<QTime>(v)));
            break;
        case SQL_TIMESTAMP: {
            const QDateTime& dt = std::get<QDateTime>(v);
            ISC_TIMESTAMP ts{toIscDate(dt.date()), toIscTime(dt.time())};
            writeAt(data, ts);
            break;
        }
    }
}

Firebird::IResultSet* PreparedStatement::openCursor(Firebird::ITransaction* transaction) {
    Status& st = status_;
    Firebird::IResultSet* cursor = statement_->openCursor(
        &st, transaction, parameterNames_.isEmpty() ? nullptr : input_.get(),
        parameterNames_.isEmpty() ? nullptr : inputBuffer_.data(), output_.get(), 0);
    st.check();
    return cursor;
}

void PreparedStatement::execute(Firebird::ITransaction* transaction,
                                std::vector<Value>* outputRow) {
    Status& st = status_;
    const bool hasOutput = !columns_.empty();
    statement_->execute(&st, transaction, parameterNames_.isEmpty() ? nullptr : input_.get(),
                        parameterNames_.isEmpty() ? nullptr : inputBuffer_.data(),
                        hasOutput ? output_.get() : nullptr,
                        hasOutput ? outputBuffer_.data() : nullptr);
    st.check();
    if (hasOutput && outputRow) decodeRow(transaction, *outputRow);
}

bool PreparedStatement::fetch(Firebird::IResultSet* cursor, Firebird::ITransaction* transaction,
                              std::vector<Value>& row) {
    Status& st = status_;
    const int result = cursor->fetchNext(&st, outputBuffer_.data());
    st.check();
    if (result != Firebird::IStatus::RESULT_OK) return false;
    decodeRow(transaction, row);
    return true;
}

quint64 PreparedStatement::affectedRecords() {
    Status& st = status_;
    const quint64 n = statement_->getAffectedRecords(&st);
    st.check();
    return n;
}

void PreparedStatement::decodeRow(Firebird::ITransaction* transaction, std::vector<Value>& row) {
    row.assign(columns_.size(), Value());
    const unsigned char* buffer = outputBuffer_.data();
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (readAt<ISC_SHORT>(buffer + c.nullOffset) != 0) continue;
        const unsigned char* p = buffer + c.offset;
        const double scale = c.scale < 0 ? std::pow(10.0, -c.scale) : 0.0;
        auto whole = [&](qint64 n) { row[i] = c.scale < 0 ? Value(double(n) / scale) : Value(n); };
        switch (c.type) {
            case SQL_TEXT: {
                const QByteArray raw(reinterpret_cast<const char*>(p), c.length);
                if (c.charSet == kOctets) {
                    row[i] = raw;
                } else {
                    QString text = QString::fromUtf8(raw);
                    qsizetype end = text.size();
                    while (end > 0 && text[end - 1] == u' ') --end;
                    text.truncate(end);
                    row[i] = text;
                }
                break;
            }
            case SQL_VARYING: {
                const QByteArray raw(reinterpret_cast<const char*>(p + 2), readAt<ISC_USHORT>(p));
                row[i] = c.charSet == kOctets ? Value(raw) : Value(QString::fromUtf8(raw));
                break;
            }
            case SQL_SHORT:
                whole(readAt<ISC_SHORT>(p));
                break;
            case SQL_LONG:
                whole(readAt<ISC_LONG>(p));
                break;
            case SQL_INT64:
                whole(readAt<ISC_INT64>(p));
                break;
            case SQL_FLOAT:
                row[i] = double(readAt<float>(p));
                break;
            case SQL_DOUBLE:
            case SQL_D_FLOAT:
                row[i] = readAt<double>(p);
                break;
            case SQL_BOOLEAN:
                row[i] = readAt<FB_BOOLEAN>(p) != FB_FALSE;
                break;
            case SQL_TYPE_DATE:
                row[i] = fromIscDate(readAt<ISC_DATE>(p));
                break;
            case SQL_TYPE_TIME:
                row[i] = fromIscTime(readAt<ISC_TIME>(p));
                break;
            case SQL_TIMESTAMP: {
                const auto ts = readAt<ISC_TIMESTAMP>(p);
                row[i] = QDateTime(fromIscDate(ts.timestamp_date), fromIscTime(ts.timestamp_time));
                break;
            }
            case SQL_BLOB: {
                const QString text = readBlob(transaction, readAt<ISC_QUAD>(p));
                row[i] = c.subType == 1 ? Value(text) : Value(text.toUtf8());
                break;
            }
            default:
                break;  // SQL_NULL and kinds the kiosk never selects read as NULL
        }
    }
}

QString PreparedStatement::readBlob(Firebird::ITransaction* transaction, const ISC_QUAD& id) {
    Status st;
    ISC_QUAD blobId = id;
    Handle<Firebird::IBlob> blob(attachment_->openBlob(&st, transaction, &blobId, 0, nullptr));
    st.check();
    QByteArray data;
    char segment[32768];
    for (;;) {
        unsigned length = 0;
        const int result = blob->getSegment(&st, sizeof segment, segment, &length);
        st.check();
        if (result == Firebird::IStatus::RESULT_NO_DATA) break;
        data.append(segment, length);
    }
    blob.close([](Firebird::IBlob* b, Firebird::CheckStatusWrapper* s) { b->close(s); });
    return QString::fromUtf8(data);
}

ISC_QUAD PreparedStatement::writeBlob(Firebird::ITransaction* transaction, const QByteArray& data) {
    Status st;
    ISC_QUAD id{};
    Handle<Firebird::IBlob> blob(attachment_->createBlob(&st, transaction, &id, 0, nullptr));
    st.check();
    constexpr qsizetype kSegment = 32768;
    for (qsizetype at = 0; at < data.size(); at += kSegment) {
        blob->putSegment(&st, unsigned(std::min(kSegment, data.size() - at)),
                         data.constData() + at);
        st.check();
    }
    blob.close([](Firebird::IBlob* b, Firebird::CheckStatusWrapper* s) { b->close(s); });
    return id;
}

}  // namespace fb
