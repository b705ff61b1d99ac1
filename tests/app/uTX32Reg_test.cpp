#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <unistd.h>

#include <thread>
#include <vector>

#include "app/uFiles.h"
#include "app/uTX32Reg.h"

namespace {

const QString Suite = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollex\\TX32");

QString machineHive() {
    return qEnvironmentVariable("KIOSK_REGISTRY_MACHINE");
}
QString userHive() {
    return qEnvironmentVariable("KIOSK_REGISTRY_USER");
}

QString fileText(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeFile(const QString& fileName, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Every test starts from empty hives; the base is made before the store under test.
struct EmptyHives {
    EmptyHives() {
        QFile::remove(machineHive());
        QFile::remove(userHive());
    }
};

class SettingsStoreTest : public ::testing::Test, private EmptyHives {
protected:
    QString hiveText() const { return fileText(machineHive()); }

    TTX32Reg reg;
};

// ---- Hive choice ---------------------------------------------------------------------------

TEST_F(SettingsStoreTest, MachineHiveIsUsedWhenItCanBeCreated) {
    QTemporaryDir dir;
    const QString hive = dir.filePath("etc/tollex/HKEY_LOCAL_MACHINE.reg");
    const QByteArray saved = qgetenv("KIOSK_REGISTRY_MACHINE");
    qputenv("KIOSK_REGISTRY_MACHINE", hive.toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("KIOSK_REGISTRY_MACHINE", saved); });

    const TTX32Reg fresh;
    EXPECT_EQ(fresh.hive(), TTX32Reg::THive::Machine);
    EXPECT_EQ(fresh.hiveFileName(), hive);
    // Opening the suite key for writing creates it.
    EXPECT_TRUE(fileText(hive).startsWith("Windows Registry Editor Version 5.00\r\n"));
    EXPECT_TRUE(fileText(hive).contains("[" + Suite + "]\r\n"));
}

TEST_F(SettingsStoreTest, UnwritableMachineHiveFallsBackToTheUserHive) {
    QTemporaryDir dir;
    const QString plainFile = dir.filePath("plain");
    writeFile(plainFile, "x");
    const QString readOnlyHive = dir.filePath("ro/HKEY_LOCAL_MACHINE.reg");
    writeFile(readOnlyHive, "Windows Registry Editor Version 5.00\r\n");
    QFile::setPermissions(readOnlyHive, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString directoryHive = dir.filePath("dir/HKEY_LOCAL_MACHINE.reg");
    QDir().mkpath(directoryHive);

    struct Case {
        const char* what;
        QString hive;
    };
    std::vector<Case> cases = {{"folder cannot be made", plainFile + "/HKEY_LOCAL_MACHINE.reg"},
                               {"hive is a folder", directoryHive}};
    if (::geteuid() != 0) cases.push_back({"hive file is read-only", readOnlyHive});

    const QByteArray saved = qgetenv("KIOSK_REGISTRY_MACHINE");
    const auto restore = qScopeGuard([&] { qputenv("KIOSK_REGISTRY_MACHINE", saved); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(userHive());
        qputenv("KIOSK_REGISTRY_MACHINE", c.hive.toUtf8());
        const QByteArray before = fileText(c.hive).toUtf8();

        const TTX32Reg fresh;
        EXPECT_EQ(fresh.hive(), TTX32Reg::THive::User);
        EXPECT_EQ(fresh.hiveFileName(), userHive());
        fresh.WriteInteger("Debug", "DebugLevel", 5);
        EXPECT_TRUE(fileText(userHive())
                        .contains("[HKEY_CURRENT_USER\\SOFTWARE\\Tollex\\TX32\\Debug]"
                                  "\r\n\"DebugLevel\"=dword:00000005"));
        EXPECT_EQ(fileText(c.hive).toUtf8(), before);
    }
}

// ---- Values and the file format ------------------------------------------------------------

TEST_F(SettingsStoreTest, ValuesAreStoredInTheRegistryExportFormat) {
    reg.WriteString("", "ProgramFolder", rmText, R"(C:\Tollex\"TX32")");
    reg.WriteInteger("Debug", "DebugLevel", 10);
    reg.writeFloat("Rates", "Vat", 1.5);
    reg.WriteInteger("Debug", "Negative", -1);

    const QString text = hiveText();
    EXPECT_TRUE(
        text.contains("[" + Suite + "]\r\n\"ProgramFolder\"=\"C:\\\\Tollex\\\\\\\"TX32\\\"\"\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[" + Suite +
                              "\\Debug]\r\n\"DebugLevel\"=dword:0000000a\r\n"
                              "\"Negative\"=dword:ffffffff\r\n"));
    EXPECT_TRUE(text.contains("[" + Suite + "\\Rates]\r\n\"Vat\"=hex:00,00,00,00,00,00,f8,3f\r\n"));

    EXPECT_EQ(reg.ReadString("", "ProgramFolder", rmText, {}), R"(C:\Tollex\"TX32")");
    EXPECT_EQ(reg.ReadInteger("Debug", "DebugLevel", 0), 10);
    EXPECT_EQ(reg.ReadInteger("Debug", "Negative", 0), -1);
    EXPECT_EQ(reg.readFloat("Rates", "Vat"), 1.5);
    EXPECT_EQ(reg.ReadString("Rates", "Vat", rmFloat, {}), "1.5");
}

TEST_F(SettingsStoreTest, NamesAreCaseInsensitiveAndTextsKeepLineBreaks) {
    reg.WriteString("Database\\List\\Shop", "Note", rmText, "two\r\nlines");
    EXPECT_EQ(reg.ReadString("DATABASE\\list\\shop", "NOTE", rmText, {}), "two\r\nlines");
    // One key, however it was spelt.
    EXPECT_EQ(hiveText().count("[" + Suite + "\\Database\\List\\Shop]", Qt::CaseInsensitive), 1);
}

TEST_F(SettingsStoreTest, ReadsAHiveExportedByRegedit) {
    // regedit writes UTF-16LE with a byte-order mark and wraps long binary values.
    const QString exported =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; written on the back-office PC\r\n"
        "[" +
        Suite +
        "\\Database]\r\n"
        "@=\"ignored\"\r\n"
        "\"DefaultDatabase\"=\"shop\"\r\n\r\n"
        "[" +
        Suite +
        "\\Rates]\r\n"
        "\"Vat\"=hex:00,00,00,00,\\\r\n  00,00,f8,3f\r\n"
        "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n";
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(exported.utf16()), exported.size() * 2);
    writeFile(machineHive(), bytes);

    EXPECT_EQ(reg.lastUsedDB(), "SHOP");
    EXPECT_EQ(reg.readFloat("Rates", "Vat"), 1.5);
    // An expandable string reads as text and is stored back as plain text.
    EXPECT_EQ(reg.ReadString("Rates", "Path", rmText, {}), "%A%");
    EXPECT_TRUE(hiveText().contains("\"Path\"=\"%A%\"\r\n"));
    EXPECT_TRUE(hiveText().contains("@=\"ignored\"\r\n"));
}

TEST_F(SettingsStoreTest, MalformedHiveRaisesAndIsLeftAlone) {
    writeFile(machineHive(), "Windows Registry Editor Version 5.00\r\n\"Orphan\"=\"value\"\r\n");
    EXPECT_THROW(reg.ReadString("", "X", rmText, {}), ERegistryException);
    EXPECT_THROW(reg.WriteString("", "X", rmText, "y"), ERegistryException);
    EXPECT_EQ(hiveText(), "Windows Registry Editor Version 5.00\r\n\"Orphan\"=\"value\"\r\n");
}

TEST_F(SettingsStoreTest, MissingValueIsStoredWithTheDefault) {
    EXPECT_EQ(reg.ReadInteger("Debug", "DebugLevel", 0), 0);
    EXPECT_TRUE(hiveText().contains("[" + Suite + "\\Debug]\r\n\"DebugLevel\"=dword:00000000\r\n"));

    EXPECT_EQ(reg.ReadString("", "LastUser", rmText, "nobody"), "nobody");
    EXPECT_EQ(reg.lastUser(), "nobody");
    EXPECT_EQ(reg.readFloat("Rates", "Vat"), 0);
    EXPECT_TRUE(hiveText().contains("\"Vat\"=hex:00,00,00,00,00,00,00,00\r\n"));
}

TEST_F(SettingsStoreTest, ReadingAFloatDoesNotRoundIt) {
    reg.writeFloat("Rates", "Third", 1.0 / 3);
    const TTX32Reg other;
    const QString before = hiveText();
    EXPECT_EQ(other.ReadString("Rates", "Third", rmFloat, {}), "0.333333333333333");
    EXPECT_EQ(hiveText(), before);
}

TEST_F(SettingsStoreTest, ValueOfAnotherKindRaises) {
    reg.WriteString("Debug", "DebugLevel", rmText, "1");
    reg.WriteInteger("Debug", "Number", 7);
    reg.writeFloat("Debug", "Float", 2.5);
    struct Case {
        const char* name;
        int mode;
    };
    for (const Case& c :
         {Case{"DebugLevel", rmInteger}, Case{"DebugLevel", rmFloat}, Case{"Number", rmText},
          Case{"Number", rmFloat}, Case{"Float", rmText}, Case{"Float", rmInteger}}) {
        SCOPED_TRACE(std::string(c.name) + " as mode " + std::to_string(c.mode));
        EXPECT_THROW(reg.ReadString("Debug", c.name, c.mode, "0"), ERegistryException);
    }
    EXPECT_THROW(reg.ReadInteger("Debug", "DebugLevel", 0), ERegistryException);
    EXPECT_THROW(reg.readFloat("Debug", "Number"), ERegistryException);
    // The failed reads left every value as it was.
    EXPECT_EQ(reg.ReadString("Debug", "DebugLevel", rmText, {}), "1");
    EXPECT_EQ(reg.ReadInteger("Debug", "Number", 0), 7);
}

TEST_F(SettingsStoreTest, TextThatIsNotANumberIsRefusedForANumberValue) {
    EXPECT_THROW(reg.WriteString("Debug", "DebugLevel", rmInteger, "abc"), ERegistryException);
    EXPECT_THROW(reg.WriteString("Debug", "DebugLevel", rmInteger, "4294967296"),
                 ERegistryException);
    EXPECT_THROW(reg.WriteString("Rates", "Vat", rmFloat, "1.2.3"), ERegistryException);
    EXPECT_FALSE(hiveText().contains("DebugLevel"));
}

// ---- Sections -----------------------------------------------------------------------------

class DatabaseListTest : public SettingsStoreTest {
protected:
    void addDatabase(const QString& name, const QString& local, const QString& server) {
        reg.WriteString("Database\\List\\" + name, "LocalPath", rmText, local);
        reg.WriteString("Database\\List\\" + name, "ServerPath", rmText, server);
    }
};

TEST_F(DatabaseListTest, NoListGivesAnEmptyListAndNoSelection) {
    QStringList list{"stale"};
    EXPECT_EQ(reg.getDBDetails(list, ";"), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(reg.getDBDetails(list, ";", "Shop"), -1);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(DatabaseListTest, EntriesAreListedInNameOrderWithTheChosenOneSelected) {
    addDatabase("Shop", "/data/shop.fdb", "srv:/data/shop.fdb");
    addDatabase("Office", "/data/office.fdb", "srv:/data/office.fdb");
    reg.WriteInteger("Database\\List\\Shop", "Colour", 255);
    reg.WriteString("Database\\List\\Office", "Colour", rmText, "red");  // unreadable: 0
    reg.setLastUsedDB("shop");

    QStringList list;
    EXPECT_EQ(reg.getDBDetails(list, "|"), 1);
    EXPECT_EQ(list, QStringList({"Office|/data/office.fdb|srv:/data/office.fdb|0",
                                 "Shop|/data/shop.fdb|srv:/data/shop.fdb|255"}));
    EXPECT_EQ(reg.getDBDetails(list, "|", "OFFICE"), 0);
    EXPECT_EQ(reg.getDBDetails(list, "|", "Warehouse"), -1);
    EXPECT_EQ(reg.getLastUsedDBPath(false), "/data/shop.fdb");
    EXPECT_EQ(reg.getLastUsedDBPath(true), "srv:/data/shop.fdb");
}

TEST_F(DatabaseListTest, DeleteSectionDeletesOnlyTheLastKeyOfThePath) {
    addDatabase("Old", "/old.fdb", "/old.fdb");
    reg.WriteString("Database\\List\\Old\\Archive", "Note", rmText, "below Old");
    addDatabase("Shop", "/shop.fdb", "/shop.fdb");
    reg.WriteString("Database\\List", "Note", rmText, "kept");

    reg.deleteSection("Database\\List\\");  // ends in a backslash: nothing
    QStringList keys;
    reg.GetKeyNames("Database\\List", keys);
    EXPECT_EQ(keys, QStringList({"Old", "Shop"}));

    reg.deleteSection("Database\\List\\Old");
    reg.GetKeyNames("Database\\List", keys);
    EXPECT_EQ(keys, QStringList({"Shop"}));
    EXPECT_FALSE(hiveText().contains("Archive"));
    EXPECT_EQ(reg.ReadString("Database\\List", "Note", rmText, {}), "kept");
}

TEST_F(SettingsStoreTest, ValueNamesAndDeleteKey) {
    reg.WriteString("Site", "B", rmText, "1");
    reg.WriteInteger("Site", "A", 2);
    reg.deleteKey("Site", "b");
    reg.deleteKey("Nowhere", "A");  // nothing to delete, nothing created
    QStringList names;
    reg.GetValueNames("Site", names);
    EXPECT_EQ(names, QStringList({"A"}));
    reg.GetValueNames("Nowhere", names);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_FALSE(hiveText().contains("Nowhere"));
}

// ---- Fonts and commands -------------------------------------------------------------------

TEST_F(SettingsStoreTest, FontsAreReadFieldByField) {
    struct Case {
        const char* stored;
        TKioskFont expected;
    };
    const TKioskFont untouched{"Untouched", 99, 99, 99};
    for (const Case& c :
         {Case{"Tahoma;12;1;0", {"Tahoma", 12, fsBold, 0}},
          Case{"Arial;big;2", {"Arial", 0, fsItalic, 0}},
          Case{"Lucida;10;0;-2147483643", {"Lucida", 10, 0, -2147483643}}, Case{"", untouched}}) {
        SCOPED_TRACE(c.stored);
        reg.WriteString("Fonts", "Receipt", rmText, c.stored);
        TKioskFont font = untouched;
        reg.ReadFont("Fonts", "Receipt", font);
        EXPECT_EQ(font, c.expected);
    }

    reg.WriteInteger("Fonts", "Receipt", 3);  // wrong kind: no error, font left as it was
    TKioskFont font = untouched;
    EXPECT_NO_THROW(reg.ReadFont("Fonts", "Receipt", font));
    EXPECT_EQ(font, untouched);

    reg.writeFont("Fonts", "Title", {"Tahoma", 12, fsBold | fsUnderline, 255});
    EXPECT_EQ(reg.ReadString("Fonts", "Title", rmText, {}), "Tahoma;12;5;255");
}

TEST_F(SettingsStoreTest, CollectingOwnCommandConsumesItAndOnlyIt) {
    const QString self = QFileInfo(ModuleFileName()).fileName();
    reg.SetCommandSequence(self, "RELOAD");
    reg.SetCommandSequence("TX32Main", "SHOW");

    EXPECT_EQ(reg.GetCommandSequence("TX32Main"), "SHOW");
    EXPECT_EQ(reg.GetCommandSequence("TX32Main"), "SHOW");  // another's command stays
    EXPECT_EQ(reg.GetCommandSequence(), "RELOAD");
    EXPECT_EQ(reg.GetCommandSequence(), "");
}

// ---- Sharing -------------------------------------------------------------------------------

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
    constexpr int writers = 4;
    constexpr int valuesEach = 20;
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([w] {
            const TTX32Reg store;
            for (int i = 0; i < valuesEach; ++i)
                store.WriteInteger("Load", QStringLiteral("W%1_%2").arg(w).arg(i), i);
        });
    for (std::thread& t : threads) t.join();

    QStringList names;
    reg.GetValueNames("Load", names);
    EXPECT_EQ(names.size(), writers * valuesEach);
}

}  // namespace
