#include "db/fbQuery.h"

namespace fb {

Query::Query(Connection& connection) : connection_(&connection) {
    connection_->attach(this);
}

Query::Query(Transaction& transaction) : Query(transaction.connection()) {
    transaction_ = &transaction;
    inTransaction_ = true;
}

Query::~Query() {
    try {
        close();
    } catch (...) {
        // Closing a cursor of a lost attachment can fail; nothing is left to release then.
    }
    if (connection_) connection_->detach(this);
}

Connection& Query::connection() const {
    if (!connection_) throw Error(QStringLiteral("The query's connection no longer exists"));
    return *connection_;
}

void Query::setTransaction(Transaction& transaction) {
    if (&transaction.connection() != &connection())
        throw Error(QStringLiteral("The transaction belongs to another connection"));
    close();
    transaction_ = &transaction;
    inTransaction_ = true;
}

Firebird::ITransaction* Query::runningTransaction() {
    if (!inTransaction_) return connection().transaction();
    if (!transaction_) throw Error(QStringLiteral("The query's transaction has ended"));
    return transaction_->handle();
}

void Query::closeCursor() {
    // Closing the cursor of a lost attachment fails; released, nothing of it is left.
    Status st;
    if (!cursor_.tryClose(
            [](Firebird::IResultSet* c, Firebird::CheckStatusWrapper* s) { c->close(s); }, st))
        cursor_.reset();
}

void Query::closeRows() {
    closeCursor();
    rows_.clear();
    passed_ = 0;
    position_ = 0;
    active_ = false;
}

void Query::close() {
    closeRows();
    statement_.reset();
}

void Query::connectionLost() {
    statement_.forget();  // the connection frees its statements
    close();
}

void Query::setSQL(const QString& sql) {
    close();
    sql_ = sql;
    params_.clear();
}

Query& Query::bind(const QString& name, const Value& value) {
    params_.insert(name.toUpper(), value);
    return *this;
}

Value Query::param(const QString& name) const {
    return params_.value(name.toUpper());
}

// Run again with the same text, the query keeps its statement, unless the metadata changed
// since it was prepared.
void Query::takeStatement() {
    Connection& conn = connection();
    if (statement_ && generation_ == conn.statementGeneration()) return;
    statement_.reset();
    statement_ = conn.acquire(sql_);
    generation_ = conn.statementGeneration();
    columnNames_.clear();
    columnIndex_.clear();
    for (const Column& c : statement_->columns()) {
        // A name that occurs twice (select * over a join) names its first column.
        if (!columnIndex_.contains(c.name)) columnIndex_.insert(c.name, int(columnNames_.size()));
        columnNames_ << c.name;
    }
}

void Query::run(bool wantRows) {
    closeRows();
    Connection& conn = connection();
    Firebird::ITransaction* transaction = runningTransaction();
    takeStatement();
    values_.clear();
    for (const QString& name : statement_->parameterNames()) {
        auto it = params_.constFind(name);
        if (it == params_.constEnd())
            throw Error(QStringLiteral("Parameter '%1' has no value").arg(name));
        values_.push_back(&it.value());
    }
    statement_->bind(values_, transaction);

    if (statement_->returnsRows()) {
        cursor_.reset(statement_->openCursor(transaction));
        active_ = true;
        if (!wantRows) close();
        return;
    }
    std::vector<Value> output;
    statement_->execute(transaction, &output);
    rowsAffected_ = statement_->affectedRecords();
    if (!output.empty()) rows_.push_back(std::move(output));
    const bool definition = statement_->isDefinition();
    active_ = !rows_.empty();  // a statement with a RETURNING clause leaves its one row
    if (!active_) closeRows();
    conn.afterWrite(definition, !inTransaction_);
}

void Query::open() {
    run(true);
}
void Query::execSQL() {
    run(false);
}

bool Query::fetchTo(size_t index) {
    while (passed_ + rows_.size() <= index && cursor_) {
        std::vector<Value> row;
        if (forwardOnly_ && !rows_.empty()) {
            // The rows before index are not read again; the last one's buffer takes the next.
            row = std::move(rows_.back());
            passed_ += rows_.size();
            rows_.clear();
        }
        if (!statement_->fetch(cursor_.get(), runningTransaction(), row)) {
            closeCursor();
            break;
        }
        rows_.push_back(std::move(row));
    }
    return index >= passed_ && index < passed_ + rows_.size();
}

void Query::fetchAll() {
    if (forwardOnly_)
        throw Error(QStringLiteral("A forward-only query does not keep its rows to count them"));
    while (fetchTo(passed_ + rows_.size())) {
    }
}

bool Query::eof() {
    return !active_ || !fetchTo(position_);
}

void Query::next() {
    if (fetchTo(position_)) ++position_;
}

void Query::first() {
    if (passed_ > 0)
        throw Error(QStringLiteral("A forward-only query cannot go back to its first row"));
    position_ = 0;
}

void Query::last() {
    fetchAll();
    position_ = rows_.empty() ? 0 : rows_.size() - 1;
}

int Query::recordCount() {
    fetchAll();
    return int(rows_.size());
}

int Query::fieldCount() const {
    return int(columnNames_.size());
}
QString Query::fieldName(int index) const {
    return columnNames_.value(index);
}
bool Query::hasField(const QString& name) const {
    return columnIndex_.contains(name.toUpper());
}

int Query::columnIndex(const QString& name) const {
    auto it = columnIndex_.constFind(name.toUpper());
    if (it == columnIndex_.constEnd())
        throw Error(QStringLiteral("Field '%1' not found").arg(name));
    return it.value();
}

const std::vector<Value>& Query::currentRow() {
    if (eof()) throw Error(QStringLiteral("The query has no current row"));
    return rows_[position_ - passed_];
}

const Value& Query::field(const QString& name) {
    return currentRow()[size_t(columnIndex(name))];
}

const Value& Query::field(int index) {
    const auto& row = currentRow();
    if (index < 0 || size_t(index) >= row.size())
        throw Error(QStringLiteral("Field number %1 not found").arg(index));
    return row[size_t(index)];
}

}  // namespace fb
