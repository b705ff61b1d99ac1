#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/dm_main.h"
#include "db/fbQuery.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

namespace {

void writeInstalledVersion(const QString& programPath, const QString& value) {
    QFile dat(programPath + QStringLiteral(".dat"));
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
    dat.write(QStringLiteral("[Setup]\r\nInstalledVersion=%1\r\n").arg(value).toUtf8());
}

void setDbVersion(fb::Connection& conx, int version) {
    fb::Query q(conx);
    q.setSQL(QStringLiteral("update TBL_SETUP set DB_VERSION = :V where SETUP_ID = 1"));
    q.bind(QStringLiteral("V"), version);
    q.execSQL();
}

// A program folder around a private copy of the databases, and a data module on it.
class DataModuleTest : public ::testing::Test {
protected:
    QString programPath() const {
        return QDir(db.folder() + QStringLiteral(".."))
            .absoluteFilePath(QStringLiteral("KPSelfServ"));
    }

    std::unique_ptr<Tdm> create() {
        db.closeConnections();  // the data module attaches by itself
        TdmView view;
        view.showSplashStatus = [this](const QString& text) { splashLines << text; };
        view.showError = [this](const QString& text) { errors << text; };
        view.runSchemaUpdates = [this](int current, int latest, int count) {
            asked = {current, latest, count};
            return answer;
        };
        view.startFailed = [this](const QString& reason) { startFailures << reason; };
        return std::make_unique<Tdm>(programPath(), view);
    }

    TestDatabases db;
    QStringList splashLines;
    QStringList errors;
    QStringList startFailures;
    std::vector<int> asked;
    bool answer = true;
};

TEST(VersionText, PadsAndCutsAsTheSplashShowsIt) {
    EXPECT_EQ(SplashVersionLine(1, 2), QStringLiteral("version: 00.00.01, DB version: 0002"));
    EXPECT_EQ(SplashVersionLine(20304, 12345),
              QStringLiteral("version: 02.03.04, DB version: 12345"));
    EXPECT_EQ(SplashVersionLine(1234567, 0), QStringLiteral("version: 12.34.56, DB version: 0000"));
}

TEST(VersionText, AdminPathReplacesTheFirstOccurrenceOfTheFileName) {
    EXPECT_EQ(AdminDatabasePath(QStringLiteral("/k/data/KPSelfServ.gdb")),
              QStringLiteral("/k/data/KPAdmin.gdb"));
    EXPECT_EQ(AdminDatabasePath(QStringLiteral("/k/kpselfserv.GDB/KPSelfServ.gdb")),
              QStringLiteral("/k/KPAdmin.gdb/KPSelfServ.gdb"));
}

TEST_F(DataModuleTest, SplashLineFromTheInstalledVersionFileAndTheDatabase) {
    setDbVersion(db.kiosk(), 12345);
    for (const auto& [installed, expected] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral("1"), QStringLiteral("00.00.01")},
             {QStringLiteral("20304"), QStringLiteral("02.03.04")},
             {QStringLiteral("1234567"), QStringLiteral("12.34.56")},
             {QStringLiteral("abc"), QStringLiteral("00.00.00")}}) {
        writeInstalledVersion(programPath(), installed);
        splashLines.clear();
        auto dm = create();
        ASSERT_EQ(splashLines.size(), 1);
        EXPECT_EQ(splashLines[0], QStringLiteral("version: %1, DB version: 12345").arg(expected));
    }
    QFile::remove(programPath() + QStringLiteral(".dat"));
    splashLines.clear();
    auto dm = create();
    EXPECT_EQ(splashLines.value(0), QStringLiteral("version: 00.00.01, DB version: 12345"));
    EXPECT_EQ(dm->DataFolder, db.folder());
    EXPECT_TRUE(QDir(dm->ResFolder).exists());
}

TEST_F(DataModuleTest, StartsWhenNoScriptAsksForAnUpdate) {
    setDbVersion(db.kiosk(), 7);
    db.addUpdateScript(8, 0, QStringLiteral("select 1 from rdb$database"));
    db.addUpdateScript(9, -1, QStringLiteral("select 1 from rdb$database"));
    auto dm = create();
    EXPECT_EQ(dm->DBChecks(), 1);
    EXPECT_TRUE(asked.empty());
}

// Versions well above the shipped scripts, which the back-office database already holds.
TEST_F(DataModuleTest, OffersTheUpdatesAboveTheVersionCountingOnlyPositivePriorities) {
    setDbVersion(db.kiosk(), 17);
    for (int v = 15; v <= 19; ++v)
        db.addUpdateScript(v, v == 19 ? 1 : 0, QStringLiteral("select 1 from rdb$database"));
    auto dm = create();
    answer = false;
    EXPECT_EQ(dm->DBChecks(), 0);
    EXPECT_EQ(asked, (std::vector<int>{17, 19, 1}));
    EXPECT_EQ(startFailures,
              QStringList{QStringLiteral("Cannot start: the schema update from version 17 to 19 "
                                         "was not applied (closed, or a script failed)")});
    answer = true;
    startFailures.clear();
    EXPECT_EQ(dm->DBChecks(), 1);
    EXPECT_TRUE(startFailures.isEmpty());
}

TEST_F(DataModuleTest, MissingBackOfficeDatabaseStopsWithOneLoginLine) {
    auto dm = create();
    dm->conxA.disconnect();
    QFile::remove(db.adminPath());
    LogReader log;
    EXPECT_EQ(dm->DBChecks(), 0);
    const QStringList lines = log.newLines();
    ASSERT_EQ(lines.filter(QStringLiteral(" Login: ")).size(), 1)
        << lines.join(u'\n').toStdString();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DataModuleTest, MissingKioskDatabaseIsReportedAndStops) {
    QFile::remove(db.kioskPath());
    auto dm = create();
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(splashLines.isEmpty());
    ASSERT_FALSE(startFailures.isEmpty());
    EXPECT_TRUE(startFailures[0].startsWith(
        QStringLiteral("Cannot start: the kiosk database %1 cannot be opened: ")
            .arg(db.kioskPath())))
        << startFailures[0].toStdString();
    EXPECT_EQ(dm->DBChecks(), 0);
}

}  // namespace
