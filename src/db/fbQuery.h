#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "db/fbConnection.h"
#include "db/fbValue.h"

namespace fb {

// A statement on a connection: set the statement text, bind parameters by name, then open it
// and walk the rows, or execute it. A query given a Transaction runs in it and nowhere else;
// one given only the connection runs in the connection's own transaction, each write committed
// on its own. Rows are fetched as they are read and kept, so the query can go back to its
// first row, move to its last and count its rows; a forward-only query keeps only the row it
// stands on, for reading long results once from start to end.
class Query {
public:
    explicit Query(Connection& connection);
    explicit Query(Transaction& transaction);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Closes the query; from now on it runs in that unit of work.
    void setTransaction(Transaction& transaction);
    // Forward-only: first(), last() and recordCount() are refused once a row was passed.
    void setForwardOnly(bool forwardOnly) { forwardOnly_ = forwardOnly; }

    void close();
    bool active() const { return active_; }
    // Setting the text closes the query and forgets every parameter value.
    void setSQL(const QString& sql);
    const QString& sql() const { return sql_; }

    // Binds a parameter by its name (without the colon; any case).
    Query& bind(const QString& name, const Value& value);
    Value param(const QString& name) const;

    // Runs the statement; a statement without rows is executed instead.
    void open();
    // Executes the statement; a select is opened and closed again.
    void execSQL();
    quint64 rowsAffected() const { return rowsAffected_; }

    bool eof();
    void next();
    void first();
    void last();
    int recordCount();

    int fieldCount() const;
    QString fieldName(int index) const;
    bool hasField(const QString& name) const;
    const Value& field(const QString& name);
    const Value& field(int index);

    Connection& connection() const;

private:
    friend class Connection;
    void connectionLost();
    void closeCursor();
    void closeRows();
    void takeStatement();
    void run(bool wantRows);
    Firebird::ITransaction* runningTransaction();
    bool fetchTo(size_t index);
    void fetchAll();
    int columnIndex(const QString& name) const;
    const std::vector<Value>& currentRow();

    Connection* connection_;
    // The unit of work given (inTransaction_); null once it has ended.
    Transaction* transaction_ = nullptr;
    bool inTransaction_ = false;
    QString sql_;
    QHash<QString, Value> params_;
    StatementLease statement_;
    quint64 generation_ = 0;  // of the connection's statements when statement_ was taken
    std::vector<const Value*> values_;
    Handle<Firebird::IResultSet> cursor_;
    bool active_ = false;
    bool forwardOnly_ = false;
    std::vector<std::vector<Value>> rows_;
    size_t passed_ = 0;  // rows a forward-only query has let go of, before rows_[0]
    size_t position_ = 0;
    quint64 rowsAffected_ = 0;
    QStringList columnNames_;
    QHash<QString, int> columnIndex_;
};

}  // namespace fb
