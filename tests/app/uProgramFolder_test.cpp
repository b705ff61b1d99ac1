#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/uFiles.h"
#include "app/uProgramFolder.h"
#include "app/uTX32Reg.h"

namespace {

void touch(const QString& fileName) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

void clearSettingsStore() {
    QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_MACHINE"));
    QFile::remove(qEnvironmentVariable("KIOSK_REGISTRY_USER"));
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
