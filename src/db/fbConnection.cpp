#include "db/fbConnection.h"

#include "db/fbEngine.h"
#include "db/fbQuery.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace fb {

namespace {

// Read committed, record versions visible as committed, wait up to ten seconds for a lock.
const unsigned char kTransactionParameters[] = {isc_tpb_version3,
                                                isc_tpb_write,
                                                isc_tpb_read_committed,
                                                isc_tpb_rec_version,
                                                isc_tpb_wait,
                                                isc_tpb_lock_timeout,
                                                1,
                                                10};

constexpr size_t kStatementCacheLimit = 512;

using ParameterBlock = Handle<Firebird::IXpbBuilder>;

ParameterBlock databaseParameters(const QString& user, const QString& password) {
    Status st;
    ParameterBlock dpb(
        master()->getUtilInterface()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0));
    st.check();
    dpb->insertString(&st, isc_dpb_user_name, user.toUtf8().constData());
    dpb->insertString(&st, isc_dpb_password, password.toUtf8().constData());
    dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
    st.check();
    return dpb;
}

Handle<Firebird::IProvider> dispatcher() {
    return Handle<Firebird::IProvider>(master()->getDispatcher());
}

// The engine opens its database and lock files without close-on-exec, so every program the
// kiosk starts would inherit them, and with them the engine's exclusive lock on the database
// for as long as that program runs. Marks every descriptor above the standard three.
void keepDescriptorsFromChildren() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return;
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == own) continue;
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
    ::closedir(folder);
}

}  // namespace

Connection::Connection() = default;

Connection::~Connection() {
    try {
        disconnect();
    } catch (...) {
        // A destructor never throws; the engine releases what is left at detach.
    }
    for (Query* q : queries_) q->connection_ = nullptr;
}

void Connection::connect() {
    if (connected()) return;
    if (beforeConnect) beforeConnect();
    Status st;
    const ParameterBlock dpb = databaseParameters(user_, password_);
    const QByteArray path = database_.toUtf8();
    Firebird::IAttachment* attachment = dispatcher()->attachDatabase(
        &st, path.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    EngineLoaded();
    st.check();
    attachment_.reset(attachment);
    keepDescriptorsFromChildren();
}

void Connection::disconnect() {
    if (!connected()) return;
    if (unitOfWork_) unitOfWork_->abandon();
    for (Query* q : queries_) q->connectionLost();
    cache_.clear();
    std::exception_ptr ending;
    try {
        if (transaction_) endOwnTransaction(true);
    } catch (...) {
        // Work that cannot be committed is rolled back, so the detach can go ahead; the
        // commit's error is raised once the attachment is gone.
        ending = std::current_exception();
        try {
            endOwnTransaction(false);
        } catch (...) {
            // Already given up; the detach ends what is left of it.
        }
    }
    attachment_.close(
        [](Firebird::IAttachment* a, Firebird::CheckStatusWrapper* st) { a->detach(st); });
    if (ending) std::rethrow_exception(ending);
}

Firebird::IAttachment* Connection::attachment() {
    connect();
    return attachment_.get();
}

Firebird::ITransaction* Connection::startEngineTransaction() {
    Status st;
    Firebird::ITransaction* transaction =
        attachment()->startTransaction(&st, sizeof kTransactionParameters, kTransactionParameters);
    st.check();
    return transaction;
}

Firebird::ITransaction* Connection::transaction() {
    if (!transaction_) transaction_.reset(startEngineTransaction());
    return transaction_.get();
}

void Connection::commit() {
    if (transaction_) endOwnTransaction(true);
}

int Connection::openCursors() const {
    return int(std::count_if(queries_.begin(), queries_.end(),
                             [](const Query* q) { return bool(q->cursor_); }));
}

void Connection::commitRetaining() {
    if (!transaction_) return;
    Status st;
    transaction_->commitRetaining(&st);
    st.check();
    if (definitionRan_) dropIdleStatements();
}

void Connection::endOwnTransaction(bool commit) {
    // Cursors do not outlive their transaction.
    for (Query* q : queries_)
        if (!q->inTransaction_) q->closeCursor();
    Status st;
    if (commit) {
        // A failed commit leaves the transaction as it was, to retry or roll back.
        if (!transaction_.tryClose(
                [](Firebird::ITransaction* t, Firebird::CheckStatusWrapper* s) { t->commit(s); },
                st))
            st.check();
    } else if (!transaction_.tryClose([](Firebird::ITransaction* t,
                                         Firebird::CheckStatusWrapper* s) { t->rollback(s); },
                                      st)) {
        transaction_.reset();  // the engine drops the work of a transaction given up
    }
    if (definitionRan_) dropIdleStatements();
    st.check();
}

void Connection::afterWrite(bool definition, bool own) {
    definitionRan_ = definitionRan_ || definition;
    if (own) commitRetaining();
}

void Connection::transactionEnding(const Transaction* transaction) {
    for (Query* q : queries_)
        if (q->transaction_ == transaction) q->closeCursor();
}

void Connection::transactionEnded(const Transaction* transaction) {
    for (Query* q : queries_)
        if (q->transaction_ == transaction) q->transaction_ = nullptr;
    unitOfWork_ = nullptr;
    if (definitionRan_) dropIdleStatements();
}

StatementLease Connection::acquire(const QString& sql) {
    auto& entries = cache_[sql];
    for (auto& s : entries)
        if (!s->leased()) return StatementLease(s.get());
    if (cache_.size() > kStatementCacheLimit) dropIdleStatements();
    auto statement = std::make_unique<PreparedStatement>(attachment(), transaction(), sql);
    StatementLease lease(statement.get());
    cache_[sql].push_back(std::move(statement));
    return lease;
}

// Statements prepared before a change of metadata may no longer match it.
void Connection::dropIdleStatements() {
    for (auto it = cache_.begin(); it != cache_.end();) {
        auto& entries = it->second;
        std::erase_if(entries, [](const auto& s) { return !s->leased(); });
        it = entries.empty() ? cache_.erase(it) : std::next(it);
    }
    definitionRan_ = false;
    ++generation_;
}

// ---- Transaction -------------------------------------------------------------------------

Transaction::Transaction(Connection& conx) : conx_(conx) {
    if (conx_.unitOfWork_) {
        throw Error(
            QStringLiteral(
                "A transaction is already open on the connection to %1: a unit of work cannot "
                "start inside another one (commit or roll back the open one first)")
                .arg(conx_.database()));
    }
    handle_.reset(conx_.startEngineTransaction());
    conx_.unitOfWork_ = this;
}

Transaction::~Transaction() {
    if (!active()) return;
    try {
        rollback();
    } catch (...) {
        // A destructor never throws; the engine drops an abandoned transaction's work.
    }
}

Firebird::ITransaction* Transaction::handle() {
    if (!handle_) throw Error(QStringLiteral("The transaction has ended"));
    return handle_.get();
}

void Transaction::commit() {
    if (!active()) throw Error(QStringLiteral("The transaction has ended"));
    conx_.transactionEnding(this);
    Status st;
    // A failed commit leaves the transaction open, to retry or roll back.
    if (!handle_.tryClose(
            [](Firebird::ITransaction* t, Firebird::CheckStatusWrapper* s) { t->commit(s); }, st))
        st.check();
    conx_.transactionEnded(this);
}

void Transaction::rollback() {
    if (!active()) return;
    conx_.transactionEnding(this);
    Status st;
    if (!handle_.tryClose(
            [](Firebird::ITransaction* t, Firebird::CheckStatusWrapper* s) { t->rollback(s); }, st))
        handle_.reset();  // the engine drops the work of a transaction given up
    conx_.transactionEnded(this);
}

void Transaction::abandon() noexcept {
    try {
        rollback();
    } catch (...) {
        handle_.reset();
        conx_.transactionEnded(this);
    }
}

void Connection::createDatabase(const QString& path, const QString& user, const QString& password,
                                int pageSize) {
    Status st;
    const ParameterBlock dpb = databaseParameters(user, password);
    dpb->insertInt(&st, isc_dpb_page_size, pageSize);
    dpb->insertString(&st, isc_dpb_set_db_charset, "UTF8");
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    st.check();
    const QByteArray file = path.toUtf8();
    Handle<Firebird::IAttachment> attachment(dispatcher()->createDatabase(
        &st, file.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st)));
    EngineLoaded();
    st.check();
    attachment.close(
        [](Firebird::IAttachment* a, Firebird::CheckStatusWrapper* s) { a->detach(s); });
}

}  // namespace fb
