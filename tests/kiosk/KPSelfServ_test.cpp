// The kiosk program as a service manager runs it: a separate process on a copy of the program
// folder, stopped by signals and killed outright.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "db/fbQuery.h"
#include "support/KioskProcess.h"

namespace {

constexpr int kStartTimeout = 30000;

QString selectText(fb::Connection& conx, const QString& sql) {
    fb::Query q(conx);
    q.setSQL(sql);
    q.open();
    return q.eof() ? QString() : q.field(0).toString();
}

void exec(fb::Connection& conx, const QString& sql) {
    fb::Query q(conx);
    q.setSQL(sql);
    q.execSQL();
}

// A sale in progress, as the kiosk leaves it between two scans.
void addOpenSale(const KioskFolder& folder) {
    auto conx = folder.connect(folder.kioskDatabase());
    exec(*conx, QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values (41, "
                               "current_timestamp)"));
    for (int line = 1; line <= 2; ++line)
        exec(*conx, QStringLiteral("insert into TBL_SALES_LINES (LINE_ID, SALES_ID, PRODUCT, "
                                   "SALES_QTY, SALES_AMT) values (%1, 41, 'Cola', 1, 1.25)")
                        .arg(line));
}

struct StopCase {
    int signal;
    bool modalBoxOpen;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << "signal " << c.signal << (c.modalBoxOpen ? " with a modal box open" : "");
}

class StopSignalTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopSignalTest, EndsTheKioskAtOnceWithTheDatabaseDetachedAndTheSaleKept) {
    const StopCase c = GetParam();
    KioskFolder folder;
    addOpenSale(folder);
    if (c.modalBoxOpen) {
        // A pending schema update: the kiosk waits in its update dialog for the operator.
        auto admin = folder.connect(folder.adminDatabase());
        exec(*admin, QStringLiteral("insert into TBL_SQLUPDATES (DB_VERSION, PRIORITY, SQL_MEMO) "
                                    "values (99, 1, 'update TBL_SETUP set DB_VERSION = 99')"));
    }
    KioskProcess kiosk(folder);
    kiosk.start();
    const QByteArray awaited = c.modalBoxOpen ? "STATUS=Waiting for the schema update" : "READY=1";
    ASSERT_TRUE(kiosk.waitFor(awaited, kStartTimeout)) << kiosk.output().toStdString();

    QElapsedTimer stopping;
    stopping.start();
    kiosk.signal(c.signal);
    ASSERT_TRUE(kiosk.waitForExit(2000)) << "still running 2 s after signal " << c.signal;
    EXPECT_TRUE(kiosk.exitedNormally()) << kiosk.output().toStdString();
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();

    auto conx = folder.connect(folder.kioskDatabase());  // the kiosk let go of its database
    EXPECT_EQ(selectText(*conx, QStringLiteral("select count(*) from TBL_SALES_LINES where "
                                               "SALES_ID = 41 and STATUS = 0")),
              QStringLiteral("2"));
    EXPECT_EQ(selectText(*conx, QStringLiteral("select count(*) from TBL_SALES_HEADERS where "
                                               "SALES_ID = 41 and SALE_END is null")),
              QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         ::testing::Values(StopCase{SIGTERM, false}, StopCase{SIGINT, false},
                                           StopCase{SIGHUP, false}, StopCase{SIGTERM, true}),
                         [](const auto& info) {
                             const char* name = info.param.signal == SIGTERM  ? "Term"
                                                : info.param.signal == SIGINT ? "Int"
                                                                              : "Hup";
                             return std::string(name) +
                                    (info.param.modalBoxOpen ? "WithModalBox" : "");
                         });

// Where the engine ran before as root, its shared lock folder /tmp/firebird belongs to root;
// a kiosk started as an ordinary user must not need it.
TEST(EngineFolders, TheKioskStartsAsAnOrdinaryUserBesideRootsLockFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "starting the kiosk as another user needs root";
    if (::getpwnam("nobody") == nullptr) GTEST_SKIP() << "there is no user nobody";
    const QByteArray shared = "/tmp/firebird";
    ::mkdir(shared.constData(), 0770);
    struct stat info {};
    ASSERT_EQ(::stat(shared.constData(), &info), 0);
    ASSERT_EQ(info.st_uid, 0u) << "/tmp/firebird should belong to root here";
    ::chmod(shared.constData(), 0770);

    KioskFolder folder;
    folder.giveTo(QStringLiteral("nobody"));
    KioskProcess kiosk(folder);
    for (const char* name : {"FIREBIRD_LOCK", "FIREBIRD_TMP", "XDG_RUNTIME_DIR"})
        kiosk.environment().remove(QLatin1String(name));
    kiosk.start({QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("nobody"),
                 QStringLiteral("--"), folder.program()});
    EXPECT_TRUE(kiosk.waitFor("READY=1", kStartTimeout)) << kiosk.output().toStdString();
}

}  // namespace
