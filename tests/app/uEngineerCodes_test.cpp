#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "app/uEngineerCodes.h"
#include "app/uOperators.h"
#include "db/fbQuery.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

namespace {

const QString kManager = QStringLiteral("K7QM2XRB9TDW4HZP");
const QString kEngineer = QStringLiteral("W3NC8VJAF5YGE6SU");

TEST(EngineerCodes, Pbkdf2Sha256MatchesThePublishedVectors) {
    struct Case {
        const char* password;
        const char* salt;
        int iterations;
        int length;
        const char* key;
    } cases[] = {
        {"password", "salt", 1, 32,
         "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
        {"password", "salt", 2, 32,
         "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
        {"password", "salt", 4096, 32,
         "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
        {"passwd", "salt", 1, 64,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iterations);
        EXPECT_EQ(Pbkdf2Sha256(c.password, c.salt, c.iterations, c.length).toHex(), c.key);
    }
}

TEST(EngineerCodes, NewCodesAreLongRandomAndScannable) {
    QSet<QString> made;
    for (int i = 0; i < 50; ++i) {
        const QString code = NewEngineerCode();
        ASSERT_EQ(code.size(), kEngineerCodeLength);
        for (const QChar c : code)
            ASSERT_TRUE(kEngineerCodeAlphabet.contains(c)) << code.toStdString();
        made.insert(code);
    }
    EXPECT_EQ(made.size(), 50);
}

class OwnCodesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        WriteEngineerCodes(fileName(), kManager, kEngineer);
        q.setSQL(
            QStringLiteral("insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS) "
                           "values (7, 'ann', '123456', 'NYN')"));
        q.execSQL();
    }
    QString folder() const { return data.path() + u'/'; }
    QString fileName() const { return EngineerCodesFileName(folder()); }

    QTemporaryDir data;
    TestDatabases db;
    fb::Query q{db.kiosk()};
};

TEST_F(OwnCodesTest, AKioskWithItsOwnCodesAcceptsThemAloneAndLogsABuiltInOne) {
    const TEngineerCodes codes = TEngineerCodes::ofDataFolder(folder());
    EXPECT_TRUE(codes.ownCodes());
    struct Case {
        QString code;
        int user;
        bool allRights;
        bool logged;
    } cases[] = {
        {kManager, -1, true, false},
        {kEngineer, -2, false, false},
        {QString::fromLatin1(kEngineerCode), 0, false, true},
        {QString::fromLatin1(kEngineerSetupCode), 0, false, true},
        {kManager.toLower(), 0, false, false},
        {kManager.left(15), 0, false, false},
        {kManager + u' ', 0, false, false},
        {QStringLiteral("123456"), 7, false, false},
        {QStringLiteral("5391230013010"), 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.toStdString());
        const LogReader log;
        QString access;
        EXPECT_EQ(BarcodeToUser(q, codes, c.code, access), c.user);
        EXPECT_EQ(access == QString(20, u'Y'), c.allRights);
        EXPECT_EQ(log.newLines().join(u'\n').contains(QStringLiteral("built-in engineer code")),
                  c.logged);
    }
    EXPECT_EQ(CheckAgeAuthority(q, codes, kManager).authority, oaAuthorised);
    EXPECT_EQ(CheckAgeAuthority(q, codes, QString::fromLatin1(kEngineerCode)).authority, oaInvalid);
}

TEST_F(OwnCodesTest, TheFileHoldsNoCodeAndIsTheOwnersAlone) {
    QFile file(fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const QString& code : {kManager, kEngineer}) {
        EXPECT_FALSE(text.contains(code.toLatin1()));
        EXPECT_FALSE(text.contains(code.toLatin1().toHex()));
    }
    EXPECT_EQ(file.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    // Made again, the same codes are hashed with other salts.
    WriteEngineerCodes(fileName(), kManager, kEngineer);
    QFile again(fileName());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_NE(again.readAll(), text);
}

TEST_F(OwnCodesTest, ACodesFileThatCannotBeUsedOpensNothing) {
    for (const QByteArray& broken :
         {QByteArray("manager pbkdf2-sha256 20000 00ff\n"), QByteArray("# nothing\n"),
          QByteArray("manager md5 1 00 00\n")}) {
        SCOPED_TRACE(broken.toStdString());
        QFile file(fileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(broken);
        file.close();
        const LogReader log;
        const TEngineerCodes codes = TEngineerCodes::ofDataFolder(folder());
        EXPECT_TRUE(log.newLines().join(u'\n').contains(QStringLiteral("cannot be used")));
        for (const QString& code : {kManager, QString::fromLatin1(kEngineerCode),
                                    QString::fromLatin1(kEngineerSetupCode)})
            EXPECT_EQ(codes.match(code), 0) << code.toStdString();
    }
}

TEST(EngineerCodes, AKioskWithoutTheFileKeepsTheBuiltInCodes) {
    QTemporaryDir data;
    const TEngineerCodes codes = TEngineerCodes::ofDataFolder(data.path() + u'/');
    EXPECT_FALSE(codes.ownCodes());
    EXPECT_EQ(codes.match(QString::fromLatin1(kEngineerCode)), -1);
    EXPECT_EQ(codes.match(QString::fromLatin1(kEngineerSetupCode)), -2);
    EXPECT_EQ(codes.match(kManager), 0);
}

}  // namespace
