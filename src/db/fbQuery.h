#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "db/fbConnection.h"
#include "db/fbValue.h"

namespace fb {

// A statement on a connection, used the way the kiosk uses its shared queries: close it, set
// the statement text afresh, bind parameters by name, then open it and walk the rows, or
// execute it. Rows are fetched as they are read and kept, so the query can go back to its
// first row, move to its last and count its rows.
class Query {
public:
    explicit Query(Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

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
    void run(bool wantRows);
    bool fetchTo(size_t index);
    int columnIndex(const QString& name) const;
    const std::vector<Value>& currentRow();

    Connection* connection_;
    QString sql_;
    QHash<QString, Value> params_;
    PreparedStatement* statement_ = nullptr;
    Handle<Firebird::IResultSet> cursor_;
    bool active_ = false;
    std::vector<std::vector<Value>> rows_;
    size_t position_ = 0;
    quint64 rowsAffected_ = 0;
    QStringList columnNames_;
    QHash<QString, int> columnIndex_;
};

}  // namespace fb
