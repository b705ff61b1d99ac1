#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "db/fbError.h"
#include "db/fbHandle.h"
#include "db/fbValue.h"

namespace fb {

// One output column of a prepared statement and where it sits in the output message.
struct Column {
    QString name;
    unsigned type = 0;  // SQL_* code without the nullable bit
    int subType = 0;
    int scale = 0;
    unsigned charSet = 0;
    unsigned length = 0;
    unsigned offset = 0;
    unsigned nullOffset = 0;
};

// A statement prepared once on an attachment. Parameters are bound in the kind of the value
// given (text, whole number, date-time...), and the engine converts them to the declared kind,
// so "2024-01-05" and a QDate bind alike to a date column.
class PreparedStatement {
public:
    PreparedStatement(Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                      const QString& sql);
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    const QString& sql() const { return sql_; }
    const QStringList& parameterNames() const { return parameterNames_; }
    const std::vector<Column>& columns() const { return columns_; }
    bool returnsRows() const;
    bool isDefinition() const;

    // Binds one value per positional marker, in order.
    void bind(const std::vector<const Value*>& values, Firebird::ITransaction* transaction);
    // The cursor belongs to the caller.
    Firebird::IResultSet* openCursor(Firebird::ITransaction* transaction);
    // Runs a statement without a cursor; the single output row, if any, goes to outputRow.
    void execute(Firebird::ITransaction* transaction, std::vector<Value>* outputRow);
    // Fetches the next row of the cursor; false at the end.
    bool fetch(Firebird::IResultSet* cursor, Firebird::ITransaction* transaction,
               std::vector<Value>& row);
    quint64 affectedRecords();

    bool leased() const noexcept { return leased_; }

private:
    friend class StatementLease;
    // How one parameter is sent: the engine converts it to the declared kind.
    struct InputKind {
        unsigned type = SQL_LONG;
        int subType = 0;
        unsigned length = 4;
        unsigned charSet = 0;
        bool operator==(const InputKind&) const = default;
    };
    struct InputSlot {
        unsigned declaredType = 0;
        int declaredSubType = 0;
        InputKind kind;  // as the input message is built
        unsigned offset = 0;
        unsigned nullOffset = 0;
    };
    void readColumns();
    void readDeclaredInput();
    InputKind kindFor(const InputSlot& slot, const Value& value) const;
    void rebuildInputMetadata();
    void writeInput(const InputSlot& slot, const Value& value, Firebird::ITransaction* transaction);
    void decodeRow(Firebird::ITransaction* transaction, std::vector<Value>& row);
    QString readBlob(Firebird::ITransaction* transaction, const ISC_QUAD& id);
    ISC_QUAD writeBlob(Firebird::ITransaction* transaction, const QByteArray& data);

    Firebird::IAttachment* attachment_;
    QString sql_;
    QStringList parameterNames_;
    Handle<Firebird::IStatement> statement_;
    unsigned type_ = 0;
    Handle<Firebird::IMessageMetadata> declaredInput_;
    Handle<Firebird::IMessageMetadata> output_;
    std::vector<unsigned char> outputBuffer_;
    std::vector<Column> columns_;
    Handle<Firebird::IMessageMetadata> input_;
    std::vector<InputSlot> inputs_;
    std::vector<unsigned char> inputBuffer_;
    Status status_;  // for the calls of every row: the engine clears it at each call
    bool leased_ = false;
};

// The use of a cached prepared statement by one query: while it lasts no other query is given
// the statement, and it hands the statement back to the cache when it ends.
class StatementLease {
public:
    StatementLease() = default;
    explicit StatementLease(PreparedStatement* statement) noexcept : statement_(statement) {
        if (statement_) statement_->leased_ = true;
    }
    ~StatementLease() { reset(); }
    StatementLease(StatementLease&& other) noexcept
        : statement_(std::exchange(other.statement_, nullptr)) {}
    StatementLease& operator=(StatementLease&& other) noexcept {
        if (this != &other) {
            reset();
            statement_ = std::exchange(other.statement_, nullptr);
        }
        return *this;
    }
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;

    PreparedStatement* operator->() const noexcept { return statement_; }
    PreparedStatement* get() const noexcept { return statement_; }
    explicit operator bool() const noexcept { return statement_ != nullptr; }

    void reset() noexcept {
        if (statement_) statement_->leased_ = false;
        statement_ = nullptr;
    }
    // The connection has freed the statement with its cache: nothing is left to hand back.
    void forget() noexcept { statement_ = nullptr; }

private:
    PreparedStatement* statement_ = nullptr;
};

}  // namespace fb
