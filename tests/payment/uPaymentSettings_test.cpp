// The card terminal's settings as the kiosk and kpterminal read them: the PIN pad file and the
// secret of the link between them.
#include "payment/uPaymentSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "support/LogReader.h"

namespace {

QString Write(const QTemporaryDir& dir, const QString& text) {
    const QString path = dir.filePath("PinPad.ini");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

// No file means no terminal: the kiosk never writes one itself, so a simulator never takes a
// shop's payments by accident.
TEST(PinPadSettings, NoFileIsNoTerminalAndTheDeveloperFileReadsAsItSays) {
    QTemporaryDir dir;
    EXPECT_EQ(LoadPinPadConfig(dir.path()).terminal.kind, TTerminalChoice::Kind::None);
    EXPECT_FALSE(QFile::exists(dir.filePath("PinPad.ini")));

    Write(dir, DefaultPinPadFile("127.0.0.1:8105"));
    ASSERT_TRUE(MakeTerminalSecret(TerminalSecretPath(dir.path())));
    const TPinPadConfig config = LoadPinPadConfig(dir.path());
    EXPECT_EQ(config.terminal.kind, TTerminalChoice::Kind::Service);
    EXPECT_EQ(config.terminal.host, "127.0.0.1");
    EXPECT_EQ(config.terminal.port, 8105);
    EXPECT_EQ(config.terminal.secret, ReadTerminalSecret(TerminalSecretPath(dir.path())));
    EXPECT_EQ(config.connectTimeoutMs, 2000);
    EXPECT_EQ(config.answerTimeoutMs, 180000);
    EXPECT_TRUE(config.interactive);
    EXPECT_TRUE(config.connected);
    EXPECT_EQ(config.responseCode, 1);
    EXPECT_EQ(config.schemeName, "Visa");
    EXPECT_EQ(config.cardEnquiryDelayMs, 2500);
    EXPECT_EQ(config.choiceTimeoutMs, 120000);
    EXPECT_EQ(config.failingCall, "");
    ASSERT_EQ(config.statusMessages.size(), 5u);
    EXPECT_EQ(config.statusMessages[1].atMs, 800);
    EXPECT_EQ(config.statusMessages[1].text, "Enter your PIN");

    Write(dir, "[PinPad]\nInteractive=false\nresponsecode = 3\nStatus=10\n[Other]\nX=1\n");
    const TPinPadConfig edited = LoadPinPadConfig(dir.path());
    EXPECT_FALSE(edited.interactive);
    EXPECT_EQ(edited.responseCode, 3);
    ASSERT_EQ(edited.statusMessages.size(), 1u);
    EXPECT_EQ(edited.statusMessages[0].text, "");
}

TEST(PinPadSettings, ABadLineIsNamedWithItsFileAndNumber) {
    QTemporaryDir dir;
    struct Case {
        QString text;
        QString error;
    };
    const Case cases[] = {
        {"[PinPad]\n\nResponseCode=one\n", "line 3: ResponseCode must be a whole number"},
        {"[PinPad]\nTerminal=localhost\n",
         "line 2: Terminal must be empty, simulator or host:port, not \"localhost\""},
        {"[PinPad]\nConnected=perhaps\n", "line 2: Connected must be true or false"},
        {"[PinPad]\nResponse=1\n", "line 2: unknown setting \"Response\""},
        {"[PinPad]\nStatus=soon Insert card\n", "line 2: Status must be milliseconds"},
        {"just text\n", "line 1: \"just text\" is not a setting"},
    };
    for (const Case& c : cases) {
        const QString path = Write(dir, c.text);
        try {
            ReadPinPadConfig(path);
            ADD_FAILURE() << c.text.toStdString();
        } catch (const std::runtime_error& e) {
            const QString message = e.what();
            EXPECT_TRUE(message.contains(path) && message.contains(c.error))
                << message.toStdString();
        }
    }
}

// The service's own settings of the same file are offered to it first, with the line they are
// on, and what it does not take is read as the kiosk reads it.
TEST(PinPadSettings, AReaderTakesItsOwnSettingsFromTheSameFile) {
    QTemporaryDir dir;
    const QString path =
        Write(dir, "[PinPad]\nTerminal=oops\nResponseCode=2\n[Faults]\nDropAnswer=true\n");
    QStringList taken;
    const TPinPadConfig config =
        ReadPinPadConfig(path, [&](const QString& section, const TSettingLine& at,
                                   const QString& key, const QString& value) {
            const bool own = section == u"faults" || key == u"Terminal";
            if (own) taken << QStringLiteral("%1:%2=%3@%4").arg(section, key, value).arg(at.line);
            return own;
        });

    EXPECT_EQ(taken, QStringList({"pinpad:Terminal=oops@2", "faults:DropAnswer=true@5"}));
    EXPECT_EQ(config.responseCode, 2);
    EXPECT_EQ(config.terminal.kind, TTerminalChoice::Kind::None);
}

// A kiosk pointed at a terminal service takes no card without the link's secret, and says why.
TEST(PinPadSettings, ATerminalServiceWithoutTheSecretIsNoTerminal) {
    QTemporaryDir dir;
    LogReader log;
    Write(dir, "[PinPad]\nTerminal=127.0.0.1:8105\n");

    EXPECT_EQ(LoadPinPadConfig(dir.path()).terminal.kind, TTerminalChoice::Kind::None);
    const QString logged = log.newLines().join(u'\n');
    EXPECT_TRUE(logged.contains("Card payments are unavailable") &&
                logged.contains(TerminalSecretPath(dir.path())))
        << logged.toStdString();
}

TEST(TerminalSecret, IsMadeRandomForItsOwnerAloneAndKept) {
    QTemporaryDir dir;
    const QString path = TerminalSecretPath(dir.filePath("data"));
    const QString other = dir.filePath("other/secret");

    ASSERT_TRUE(MakeTerminalSecret(path));
    const QByteArray secret = ReadTerminalSecret(path);
    EXPECT_FALSE(MakeTerminalSecret(path));
    ASSERT_TRUE(MakeTerminalSecret(other));

    EXPECT_GE(secret.size(), MinTerminalSecretBytes);
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(ReadTerminalSecret(path), secret);
    EXPECT_NE(ReadTerminalSecret(other), secret);
}

TEST(TerminalSecret, ThatCannotBeTrustedIsRefusedNamingTheFile) {
    struct Case {
        const char* name;
        QByteArray content;  // nothing: no file
        QFile::Permissions permissions;
        const char* error;
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    const Case cases[] = {
        {"missing", {}, owner, "cannot be read"},
        {"short", "0123456789abcdef0123456789abcde", owner, "shorter than 32 bytes"},
        {"blank", QByteArray(40, ' '), owner, "shorter than 32 bytes"},
        {"group_readable", QByteArray(64, 'a'), owner | QFile::ReadGroup, "open to other users"},
        {"world_writable", QByteArray(64, 'a'), owner | QFile::WriteOther, "open to other users"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("secret");
        if (!c.content.isNull()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.content);
            file.close();
            ASSERT_TRUE(QFile::setPermissions(path, c.permissions));
        }
        try {
            ReadTerminalSecret(path);
            ADD_FAILURE() << "read";
        } catch (const std::runtime_error& e) {
            const QString message = e.what();
            EXPECT_TRUE(message.contains(path) && message.contains(c.error))
                << message.toStdString();
        }
    }
}

}  // namespace
