#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uTX32Reg.h"
#include "support/FixedClock.h"

#include <fcntl.h>
#include <sys/file.h>

namespace {

QString logFolder() {
    return IncludeSlash(qEnvironmentVariable("KIOSK_LOG_FOLDER"));
}
QString programName() {
    return QFileInfo(ModuleFileName()).completeBaseName();
}

QString fileText(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A Monday afternoon in ISO week 6 of 2024; empty hives (no DebugLevel) and no logs.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_MACHINE"));
        QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_USER"));
        QDir(logFolder()).removeRecursively();
    }
    QString weeklyText() const { return fileText(CLog::instance().LogFileName()); }
    void setDebugLevel(int level) { TTX32Reg().WriteInteger("Debug", "DebugLevel", level); }

    FixedClockGuard clock{QDateTime(QDate(2024, 2, 5), QTime(14, 3, 9))};
};

TEST_F(LogTest, WeeklyFileIsNamedAfterTheIsoWeekAndItsYear) {
    struct Case {
        QDate date;
        const char* suffix;
    };
    for (const Case& c : {Case{QDate(2024, 2, 12), "_2024_07.log"},
                          Case{QDate(2024, 12, 29), "_2024_52.log"},   // Sunday
                          Case{QDate(2024, 12, 30), "_2025_01.log"},   // Monday of week 1
                          Case{QDate(2024, 12, 31), "_2025_01.log"},   // Tuesday
                          Case{QDate(2021, 1, 3), "_2020_53.log"}}) {  // still 2020's week 53
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        clock.set(QDateTime(c.date, QTime(0, 0, 1)));
        const QString expected = logFolder() + programName() + c.suffix;
        EXPECT_EQ(CLog::instance().LogFileName(), expected);
        EXPECT_TRUE(WriteLog("entry", 0));
        EXPECT_TRUE(fileText(expected).endsWith(" 00:00:01 entry\r\n"));
    }
}

TEST_F(LogTest, LinesAreStampedTrimmedAndIndented) {
    struct Case {
        const char* message;
        QString line;
    };
    const QString indent(18, ' ');
    for (const Case& c :
         {Case{"  padded \r\n", "24-02-05 14:03:09 padded\r\n"},
          Case{"first\r\nsecond", "24-02-05 14:03:09 first\r\n" + indent + "second\r\n"},
          Case{"unix\nline ends", "24-02-05 14:03:09 unix\r\n" + indent + "line ends\r\n"},
          Case{"caf\u00e9 \u20ac5", "24-02-05 14:03:09 caf\u00e9 \u20ac5\r\n"}}) {
        SCOPED_TRACE(c.message);
        QDir(logFolder()).removeRecursively();
        EXPECT_TRUE(WriteLog(QString::fromUtf8(c.message), 0));
        EXPECT_EQ(weeklyText(), c.line);
    }
}

TEST_F(LogTest, LevelsAreFilteredByTheDebugLevelMask) {
    struct Case {
        int debugLevel;
        int level;
        bool written;
    };
    for (const Case& c : {Case{0, 0, true}, Case{0, 1, false}, Case{1, 1, true}, Case{1, 32, false},
                          Case{1, 0, true}, Case{33, 1, true}, Case{33, 32, true},
                          Case{33, 33, true}, Case{32, 33, false}}) {
        SCOPED_TRACE(testing::Message() << "DebugLevel " << c.debugLevel << ", level " << c.level);
        QDir(logFolder()).removeRecursively();
        setDebugLevel(c.debugLevel);
        EXPECT_TRUE(WriteLog("message", c.level));
        EXPECT_EQ(weeklyText().contains("message"), c.written);
    }
}

TEST_F(LogTest, MissingDebugLevelWritesErrorsOnlyAndIsCreated) {
    EXPECT_TRUE(WriteLog("trace", 1));
    EXPECT_TRUE(WriteLog("error", 0));
    EXPECT_EQ(weeklyText(), "24-02-05 14:03:09 error\r\n");
    EXPECT_TRUE(fileText(TTX32Reg().hiveFileName())
                    .contains("\\Debug]\r\n\"DebugLevel\"=dword:00000000\r\n"));
}

TEST_F(LogTest, UnreadableDebugLevelStillLetsErrorsThrough) {
    TTX32Reg().WriteString("Debug", "DebugLevel", rmText, "all");
    EXPECT_FALSE(WriteLog("trace", 1));
    EXPECT_TRUE(WriteLog("error", 0));
    EXPECT_EQ(weeklyText(), "24-02-05 14:03:09 error\r\n");
}

// Another program holds the settings store's lock while it changes the store: the log takes
// its line at once instead of waiting for the lock (and freezing the screen that logs).
TEST_F(LogTest, AHeldSettingsLockDoesNotHoldUpTheLog) {
    const QString hive = TTX32Reg().hiveFileName();
    const UniqueFd lock(
        ::open(QFile::encodeName(hive + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0664));
    ASSERT_EQ(::flock(lock.get(), LOCK_EX), 0);
    QElapsedTimer waited;
    waited.start();
    EXPECT_TRUE(WriteLog("error", 0));
    EXPECT_FALSE(WriteLog("trace", 1));  // the missing DebugLevel cannot be stored meanwhile
    EXPECT_LT(waited.elapsed(), 5000);
    EXPECT_EQ(weeklyText(), "24-02-05 14:03:09 error\r\n");
}

TEST_F(LogTest, NamedFilesGetCalendarYearAndIsoWeek) {
    clock.set(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)));
    EXPECT_TRUE(WriteLog("single line", 0, "Import.txt"));
    EXPECT_TRUE(WriteLog("two\r\nlines", 0, "Import.txt"));
    EXPECT_TRUE(WriteLog("as named", 0, "card_trace.txt"));

    EXPECT_EQ(fileText(logFolder() + "Import_2024_01.log"),
              "241231 235958: single line\r\n241231 235958: \r\ntwo\r\nlines\r\n");
    EXPECT_EQ(fileText(logFolder() + "card_trace.txt"), "241231 235958: as named\r\n");
}

TEST_F(LogTest, DeletedLogFolderIsMadeAgain) {
    EXPECT_TRUE(WriteLog("before", 0));
    ASSERT_TRUE(QDir(logFolder()).removeRecursively());
    EXPECT_TRUE(WriteLog("after", 0));
    EXPECT_EQ(weeklyText(), "24-02-05 14:03:09 after\r\n");
}

TEST_F(LogTest, UnwritableLogFolderFailsQuietly) {
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QByteArray saved = qgetenv("KIOSK_LOG_FOLDER");
    qputenv("KIOSK_LOG_FOLDER", dir.filePath("plain/logs").toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("KIOSK_LOG_FOLDER", saved); });

    EXPECT_FALSE(WriteLog("lost", 0));
    EXPECT_FALSE(WriteLog("lost", 0, "named.txt"));
    EXPECT_FALSE(CLog::instance().logMessage("lost"));
}

}  // namespace
