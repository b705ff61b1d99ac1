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
class Transaction;

// One attachment to a database (a file path for the embedded engine, or "host:path"), with a
// cache of prepared statements. A query given no transaction runs in the connection's own
// long-lived read-committed transaction, and each of its writes is committed on its own with a
// retaining commit, so that transaction (and every open cursor) stays alive. Work that must be
// written whole or not at all runs in a Transaction, one at a time on a connection.
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
    // Rolls back an open Transaction, commits the connection's own transaction and detaches.
    // The attachment is gone afterwards even when that raised.
    void disconnect();
    bool connected() const noexcept { return bool(attachment_); }

    // Whether a Transaction is open on the connection (another one would be refused).
    bool inTransaction() const noexcept { return unitOfWork_ != nullptr; }
    // Commits the connection's own transaction in full, closing the cursors open in it: the
    // engine may then clean up the record versions that retaining commits keep alive, and the
    // next statement sees a fresh snapshot of the monitoring tables.
    void commit();
    // Cursors open in queries on the connection: none is left open between pieces of work.
    int openCursors() const;

    // Creates an empty database file (UTF8, dialect 3) and leaves it detached.
    static void createDatabase(const QString& path, const QString& user, const QString& password,
                               int pageSize = 8192);

    Firebird::IAttachment* attachment();
    // The connection's own transaction, the one queries given no Transaction run in, started
    // on demand.
    Firebird::ITransaction* transaction();
    // A prepared statement of that text, leased until the lease ends.
    StatementLease acquire(const QString& sql);
    // Changes whenever cached statements are dropped after a change of metadata.
    quint64 statementGeneration() const noexcept { return generation_; }

private:
    friend class Query;
    friend class Transaction;
    void attach(Query* query) { queries_.insert(query); }
    void detach(Query* query) { queries_.erase(query); }
    Firebird::ITransaction* startEngineTransaction();
    void endOwnTransaction(bool commit);
    // Called after a query wrote data or metadata in the connection's own transaction (own)
    // or in a Transaction.
    void afterWrite(bool definition, bool own);
    // A transaction's cursors do not outlive it; once it has ended its queries let go of it.
    void transactionEnding(const Transaction* transaction);
    void transactionEnded(const Transaction* transaction);
    void commitRetaining();
    void dropIdleStatements();

    QString database_;
    QString user_ = QStringLiteral("SYSDBA");
    QString password_;
    Handle<Firebird::IAttachment> attachment_;
    Handle<Firebird::ITransaction> transaction_;
    Transaction* unitOfWork_ = nullptr;
    bool definitionRan_ = false;
    quint64 generation_ = 0;
    std::unordered_map<QString, std::vector<std::unique_ptr<PreparedStatement>>> cache_;
    std::set<Query*> queries_;
};

// A unit of work: the statements of the queries given it are written whole, at its commit, or
// not at all. Only one is open on a connection at a time: starting another while one is open
// is refused, so no unit of work ever commits or joins another's. Queries on the connection
// that are not given it run outside it, in the connection's own transaction. Destroyed
// uncommitted, it rolls back. It must not outlive its connection.
class Transaction {
public:
    explicit Transaction(Connection& conx);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Both end the unit of work and close the cursors of its queries. A failed commit leaves
    // it open, to be rolled back (or rolled back by the destructor).
    void commit();
    void rollback();
    bool active() const noexcept { return bool(handle_); }
    Connection& connection() const { return conx_; }

private:
    friend class Query;
    friend class Connection;
    // The engine's transaction; raises when the unit of work has ended.
    Firebird::ITransaction* handle();
    // The connection detaches: the work is given up.
    void abandon() noexcept;

    Connection& conx_;
    Handle<Firebird::ITransaction> handle_;
};

}  // namespace fb
