#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "db/fbHandle.h"
#include "db/fbStatement.h"

namespace fb {

class Query;

// One attachment to a database (a file path for the embedded engine, or "host:path"),
// with one long-lived read-committed transaction and a cache of prepared statements.
// Statements outside an explicitly started transaction are committed on their own with a
// retaining commit, so the transaction (and every open cursor) stays alive.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setDatabase(const QString& database) { database_ = database; }
    const QString& database() const { return database_; }
    void setUserName(const QString& user) { user_ = user; }
    void setPassword(const QString& password) { password_ = password; }

    // Runs before every connect, in the manner of a data module's BeforeConnect handler.
    std::function<void()> beforeConnect;

    void connect();
    // Ends the transaction (committing work outside an explicit transaction, rolling back an
    // explicit one) and detaches. The attachment is gone afterwards even when that raised.
    void disconnect();
    bool connected() const noexcept { return bool(attachment_); }

    // Explicit transactions group statements until commit or rollback.
    void startTransaction();
    bool inTransaction() const noexcept { return explicit_; }
    void commit();
    void commitRetaining();
    void rollback();

    // Creates an empty database file (UTF8, dialect 3) and leaves it detached.
    static void createDatabase(const QString& path, const QString& user, const QString& password,
                               int pageSize = 8192);

    // For queries: the attachment's current transaction, started on demand.
    Firebird::ITransaction* transaction();
    Firebird::IAttachment* attachment();
    PreparedStatement* acquire(const QString& sql);
    void release(PreparedStatement* statement);
    // Called after a statement changed data or metadata.
    void afterWrite(bool definition);

private:
    friend class Query;
    void attach(Query* query) { queries_.insert(query); }
    void detach(Query* query) { queries_.erase(query); }
    void endTransaction(bool commit);
    void dropIdleStatements();

    QString database_;
    QString user_ = QStringLiteral("SYSDBA");
    QString password_;
    Handle<Firebird::IAttachment> attachment_;
    Handle<Firebird::ITransaction> transaction_;
    bool explicit_ = false;
    bool definitionRan_ = false;
    std::unordered_map<QString, std::vector<std::unique_ptr<PreparedStatement>>> cache_;
    std::set<Query*> queries_;
};

// An explicit transaction for a piece of work that must be written whole or not at all: it
// rolls back unless committed.
class TransactionScope {
public:
    explicit TransactionScope(Connection& conx) : conx_(conx) { conx_.startTransaction(); }
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
    Connection& conx_;
};

}  // namespace fb
