#include "support/TestDatabases.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

#include "db/fbQuery.h"

namespace {

void copyTemplate(const QString& name, const QString& folder) {
    const QString from = QDir(QStringLiteral(KIOSK_TEST_TEMPLATE_DIR)).filePath(name);
    const QString to = QDir(folder).filePath(name);
    if (!QFile::copy(from, to))
        throw std::runtime_error(("Cannot copy the template database " + from).toStdString());
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

std::unique_ptr<fb::Connection> connectTo(const QString& path) {
    auto c = std::make_unique<fb::Connection>();
    c->setDatabase(path);
    c->setPassword(QStringLiteral("pinecrest"));
    c->connect();
    return c;
}

}  // namespace

TestDatabases::TestDatabases() {
    QDir().mkpath(folder());
    copyTemplate(QStringLiteral("KPSelfServ.gdb"), folder());
    copyTemplate(QStringLiteral("KPAdmin.gdb"), folder());
}

TestDatabases::~TestDatabases() = default;

QString TestDatabases::folder() const {
    return dir_.path() + QStringLiteral("/data/");
}
QString TestDatabases::kioskPath() const {
    return folder() + QStringLiteral("KPSelfServ.gdb");
}
QString TestDatabases::adminPath() const {
    return folder() + QStringLiteral("KPAdmin.gdb");
}

fb::Connection& TestDatabases::kiosk() {
    if (!kiosk_) kiosk_ = connectTo(kioskPath());
    return *kiosk_;
}

fb::Connection& TestDatabases::admin() {
    if (!admin_) admin_ = connectTo(adminPath());
    return *admin_;
}

void TestDatabases::closeConnections() {
    if (kiosk_) kiosk_->disconnect();
    if (admin_) admin_->disconnect();
}

void TestDatabases::addUpdateScript(int version, int priority, const QString& script) {
    fb::Query q(admin());
    q.setSQL(QStringLiteral(
        "insert into TBL_SQLUPDATES (DB_VERSION, PRIORITY, SQL_MEMO) values (:V, :P, :M)"));
    q.bind(QStringLiteral("V"), version)
        .bind(QStringLiteral("P"), priority)
        .bind(QStringLiteral("M"), script);
    q.execSQL();
}
