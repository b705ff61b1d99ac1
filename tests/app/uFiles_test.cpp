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

#include "app/uFiles.h"
#include "app/uText.h"

namespace {

void touch(const QString& fileName, const QDateTime& written = {}) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    if (written.isValid()) file.setFileTime(written, QFileDevice::FileModificationTime);
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

}  // namespace
