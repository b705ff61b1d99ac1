#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/uTX32Reg.h"
#include "app/uUtils.h"

namespace {

void touch(const QString& fileName, const QDateTime& written = {}) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    if (written.isValid()) file.setFileTime(written, QFileDevice::FileModificationTime);
}

void clearSettingsStore() {
    QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_MACHINE"));
    QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_USER"));
}

// ---- Tokens and texts ----------------------------------------------------------------------

TEST(Tokens, FieldsAreSplitAtEverySeparator) {
    struct Case {
        const char* text;
        const char* separator;
        int count;
        int index;
        const char* token;
    };
    for (const Case& c :
         {Case{"a^^b", "^", 3, 1, ""}, Case{"a^^b", "^", 3, 2, "b"}, Case{"", "^", 1, 0, ""},
          Case{"a^b", "^", 2, 2, ""}, Case{"a^b", "^", 2, -1, ""}, Case{"x,y,z", ",", 3, 1, "y"},
          Case{"^lead", "^", 2, 0, ""}, Case{"a::::b", "::", 3, 2, "b"},
          Case{"a:::b", "::", 2, 1, ":b"}, Case{"a^b", "", 1, 0, "a^b"}}) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.separator << " #" << c.index);
        EXPECT_EQ(TokenCount(c.text, c.separator), c.count);
        EXPECT_EQ(GetToken(c.index, c.text, c.separator), c.token);
        ScopedSeparator pushed(c.separator);
        EXPECT_EQ(TokenCount(c.text), c.count);
        EXPECT_EQ(GetToken(c.index, c.text), c.token);
    }
}

TEST(Tokens, SeparatorStackFallsBackToTheAtSign) {
    EXPECT_EQ(GetToken(1, "a@b^c"), "b^c");
    PushSeparator("^");
    PushSeparator(",");
    EXPECT_EQ(GetToken(1, "a,b^c"), "b^c");
    PopSeparator();
    EXPECT_EQ(GetToken(1, "a,b^c"), "c");
    PopSeparator();
    PopSeparator();  // one too many does no harm
    EXPECT_EQ(TokenCount("a@b@c"), 3);
}

TEST(Texts, PaddingNumbersAndFlags) {
    EXPECT_EQ(PadLeft("7", 2), "07");
    EXPECT_EQ(PadLeft("2024", 2), "2024");
    EXPECT_EQ(PadLeft("2024", 2, u'0', true), "20");
    EXPECT_EQ(PadLeft("42", 8, u' '), "      42");

    EXPECT_EQ(IntText(-9007199254740993), "-9007199254740993");
    EXPECT_EQ(TextToInt("9007199254740993"), 9007199254740993);
    EXPECT_EQ(TextToInt("-12"), -12);
    EXPECT_EQ(TextToInt("12a", 5), 5);
    EXPECT_EQ(TextToInt("", 5), 5);

    for (const char* yes : {"Y", "y"}) EXPECT_TRUE(IsYes(yes)) << yes;
    for (const char* no : {"Yes", "N", "", " Y"}) EXPECT_FALSE(IsYes(no)) << no;

    EXPECT_EQ(CleanCsvField(R"(O'Neill, "Jr")"), "O Neill   Jr ");
}

TEST(Texts, ContrastColourPicksTheReadableOne) {
    struct Case {
        int colour;
        int contrast;
    };
    for (const Case& c : {Case{16777215, 0}, Case{8388608, 16777215}, Case{0, 16777215},
                          Case{0x00FFFF, 0},         // yellow
                          Case{0x0000FF, 16777215},  // red
                          Case{0x808080, 0}}) {      // grey, lightness just under 0.5
        SCOPED_TRACE(c.colour);
        EXPECT_EQ(ContrastColour(c.colour), c.contrast);
    }
}

TEST(Money, FormatMoneyRoundsHalvesUpAndUsesRegionalSeparators) {
    struct Case {
        qint64 value;
        bool thousands;
        bool parentheses;
        const char* text;
    };
    for (const Case& c :
         {Case{12345, true, false, "1.23"}, Case{12350, true, false, "1.24"},
          Case{-12350, true, false, "-1.23"}, Case{-500, true, true, "(0.05)"},
          Case{-500, true, false, "-0.05"}, Case{12345000, true, false, "1,234.50"},
          Case{12345000, false, false, "1234.50"}, Case{-12345000, true, true, "(1,234.50)"},
          Case{-1, true, true, "0.00"}, Case{0, true, false, "0.00"}}) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatMoney(2, c.thousands, c.parentheses, c.value), c.text);
    }
}

TEST(Money, ParseMoneyReadsWhatFormatMoneyWrites) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c :
         {Case{"(1,234.50)", -1234.5}, Case{"1,234.50", 1234.5}, Case{"-0.05", -0.05},
          Case{"abc", 0}, Case{")1.5(", 0}, Case{" 2.5 ", 2.5}}) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(ParseMoney(c.text, 99), c.value);
    }
    EXPECT_EQ(ParseMoney("", 99), 99);
}

TEST(Dates, DateTimeTextAndDayNumbers) {
    const QDate day(2024, 3, 7);
    EXPECT_EQ(DateTimeText(true, QDateTime(day, QTime(13, 4, 5))), "2024-03-07");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(13, 4, 5, 6))), "2024-03-07 13:04:05.6");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(13, 4, 5, 450))), "2024-03-07 13:04:05.450");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(0, 0))), "2024-03-07 00:00:00.0");

    struct Case {
        QDateTime dateTime;
        double dayNumber;
    };
    for (const Case& c : {Case{QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0},
                          Case{QDateTime(QDate(2024, 1, 1), QTime(12, 0)), 45292.5},
                          Case{QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25}}) {
        SCOPED_TRACE(c.dayNumber);
        EXPECT_DOUBLE_EQ(DateTimeToDayNumber(c.dateTime), c.dayNumber);
        EXPECT_EQ(DayNumberToDateTime(c.dayNumber), c.dateTime);
    }
    const QDateTime odd(QDate(2023, 11, 30), QTime(23, 59, 59, 999));
    EXPECT_EQ(DayNumberToDateTime(DateTimeToDayNumber(odd)), odd);
}

// ---- Files and folders ---------------------------------------------------------------------

class FolderTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return dir.filePath(relative); }
    QTemporaryDir dir;
};

TEST_F(FolderTest, IncludeSlashAddsOneSlashAndMakesTheFolder) {
    EXPECT_EQ(IncludeSlash("data"), "data/");
    EXPECT_EQ(IncludeSlash("data/"), "data/");
    EXPECT_EQ(IncludeSlash(path("a/b/c"), true), path("a/b/c") + "/");
    EXPECT_TRUE(QFileInfo(path("a/b/c")).isDir());
}

class FindFilesTest : public FolderTest {
protected:
    void SetUp() override {
        touch(path("import/b.PNG"), old);
        touch(path("import/a.json"), recent);
        touch(path("import/c.txt"), recent);
        touch(path("import/sub/d.json"), recent);
    }
    const QDateTime old{QDate(2020, 1, 1), QTime(8, 0)};
    const QDateTime recent{QDate(2024, 5, 1), QTime(8, 0)};
};

TEST_F(FindFilesTest, MasksAreTakenInTurnWithoutRegardToCase) {
    QStringList list{"stale"};
    EXPECT_EQ(FindFiles(path("import"), "*.json;*.png", false, 0, true, &list), 2);
    EXPECT_EQ(list, QStringList({path("import/a.json"), path("import/b.PNG")}));

    EXPECT_EQ(FindFiles(path("import/"), "*.*", false, 0, true, &list), 3);
    EXPECT_EQ(FindFiles(path("import"), "*.json", true, 0, false, &list), 2);
    EXPECT_EQ(list.size(), 5);  // appended without clearing
    EXPECT_TRUE(list.endsWith(path("import/a.json")));
    EXPECT_TRUE(list.contains(path("import/sub/d.json")));
}

TEST_F(FindFilesTest, NewerThanListsRecentFilesWithTheirTimes) {
    QStringList list;
    EXPECT_EQ(FindFiles(path("import"), "*.json;*.png", true, -1, true, &list), 3);
    EXPECT_TRUE(list.isEmpty());

    const double since = DateTimeToDayNumber(QDateTime(QDate(2023, 1, 1), QTime(0, 0)));
    EXPECT_EQ(FindFiles(path("import"), "*.json;*.png", false, since, true, &list), 2);
    EXPECT_EQ(list,
              QStringList({path("import/a.json") + "?" + FloatText(DateTimeToDayNumber(recent))}));
    EXPECT_EQ(FindFiles(path("import"), "*.json", false, 0, true, nullptr), 1);
}

TEST_F(FindFilesTest, MissingFolderIsCreated) {
    EXPECT_EQ(FindFiles(path("new/Import"), "*.json", false, 0, true, nullptr), 0);
    EXPECT_TRUE(QFileInfo(path("new/Import")).isDir());
}

TEST_F(FolderTest, EmptyFolderDeletesFilesAndOptionallySubfolders) {
    touch(path("f/a.txt"));
    touch(path("f/.hidden"));
    touch(path("f/sub/b.txt"));
    touch(path("outside/keep.txt"));
    ASSERT_TRUE(QFile::link(path("outside"), path("f/link")));

    EmptyFolder(path("f"), true);
    EXPECT_EQ(QDir(path("f")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"link", "sub"}));
    EXPECT_TRUE(QFile::exists(path("f/sub/b.txt")));

    EmptyFolder(path("f"), false);
    EXPECT_TRUE(QDir(path("f")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_TRUE(QFile::exists(path("outside/keep.txt")));  // a link is not followed

    EmptyFolder(path("g"), false);
    EXPECT_TRUE(QFileInfo(path("g")).isDir());
}

// ---- Files in use --------------------------------------------------------------------------

// Another process holding a file: started on construction in a process group of its own,
// which is killed whole on destruction (isql's shell children included).
class Holder {
public:
    Holder(const QString& program, const QStringList& arguments) {
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.start(program, arguments);
        EXPECT_TRUE(process_.waitForStarted(5000));
    }
    ~Holder() {
        if (process_.processId() > 0) ::kill(-pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
    }
    // Waits until the process prints a line (its signal that it holds the file).
    void waitForLine() {
        while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
        }
        EXPECT_TRUE(process_.canReadLine()) << process_.readAllStandardError().toStdString();
    }

private:
    QProcess process_;
};

TEST_F(FolderTest, FileIsInUseWhileAnotherProcessHoldsItOpen) {
    const QString file = path("kiosk.fdb");
    touch(file);
    EXPECT_FALSE(IsFileInUse(path("missing.fdb")));
    EXPECT_FALSE(IsFileInUse(dir.path()));
    EXPECT_FALSE(IsFileInUse(file));
    {
        Holder holder("sh", {"-c", "exec 3<\"$1\"; echo ready; exec sleep 30", "sh", file});
        holder.waitForLine();
        EXPECT_TRUE(IsFileInUse(file));
    }
    EXPECT_FALSE(IsFileInUse(file));
}

TEST_F(FolderTest, OwnDescriptorsAndLocksDoNotCount) {
    const QString file = path("kiosk.fdb");
    touch(file);
    QFile open(file);
    ASSERT_TRUE(open.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(open.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(IsFileInUse(file));
    // The test's own probe must not have dropped our lock.
    QFile other(file);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_NE(::flock(other.handle(), LOCK_EX | LOCK_NB), 0);
}

TEST_F(FolderTest, DatabaseAttachedByAnotherProcessIsInUse) {
    const QString isql = QStandardPaths::findExecutable("isql-fb");
    if (isql.isEmpty()) GTEST_SKIP() << "isql-fb (Firebird utilities) is not installed";
    const QString database = path("attached.fdb");
    const QString script = "create database '" + database +
                           "' user SYSDBA;\n"
                           "shell echo attached;\nshell sleep 30;\n";
    QFile scriptFile(path("attach.sql"));
    ASSERT_TRUE(scriptFile.open(QIODevice::WriteOnly));
    scriptFile.write(script.toUtf8());
    scriptFile.close();
    Holder engine(isql, {"-q", "-i", scriptFile.fileName()});
    engine.waitForLine();
    EXPECT_TRUE(IsFileInUse(database));
}

// ---- Locations -----------------------------------------------------------------------------

TEST(Locations, DatabaseLocalPathLooksUpTheServerPath) {
    clearSettingsStore();
    const TTX32Reg reg;
    reg.WriteString("Database\\List\\Shop", "LocalPath", rmText, "/var/kiosk/shop.fdb");
    reg.WriteString("Database\\List\\Shop", "ServerPath", rmText, "till1:/var/kiosk/SHOP.fdb");

    EXPECT_EQ(DatabaseLocalPath("TILL1:/var/kiosk/shop.fdb"), "/var/kiosk/shop.fdb");
    EXPECT_EQ(DatabaseLocalPath("/data/KPSelfServ.gdb"), "/data/KPSelfServ.gdb");
    EXPECT_EQ(DatabaseLocalPath("till2:/data/KPSelfServ.gdb"), "");
    EXPECT_EQ(DatabaseLocalPath("KPSelfServ.gdb"), "");
}

TEST(Locations, ProgramFolderComesFromTheStoreWhenTheSuiteIsThere) {
    clearSettingsStore();
    QTemporaryDir suite;
    touch(suite.filePath("TX32Main"));
    TTX32Reg().WriteString("", "ProgramFolder", rmText, suite.path());
    EXPECT_EQ(ResolveProgramFolder(), suite.path() + "/");

    // Without the suite program there, the program's folder or its parent is taken, and the
    // value is created empty for the installer to fill.
    clearSettingsStore();
    const QString programFolder = QFileInfo(ModuleFileName()).absolutePath();
    const QString expected = QFileInfo::exists(programFolder + "/TX32Main")
                                 ? programFolder + "/"
                                 : QFileInfo(programFolder).absolutePath() + "/";
    EXPECT_EQ(ResolveProgramFolder(), expected);
    EXPECT_EQ(TTX32Reg().ReadString("", "ProgramFolder", rmText, "unset"), "");
}

}  // namespace
