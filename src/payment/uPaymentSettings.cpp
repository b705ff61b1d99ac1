#include "payment/uPaymentSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "app/uFiles.h"
#include "app/uLog.h"

namespace {

const QString kSection = QStringLiteral("pinpad");

// "800 Enter your PIN"; a time alone clears the prompt from then on.
TPinPadStatus ToStatus(const TSettingLine& setting, const QString& value) {
    const qsizetype space = value.indexOf(u' ');
    bool ok = false;
    const int at = value.left(space).toInt(&ok);
    if (!ok || at < 0)
        setting.fail(QStringLiteral("Status must be milliseconds, a space and the text, not \"%1\"")
                         .arg(value));
    return {at, space < 0 ? QString() : value.mid(space + 1).trimmed()};
}

void Apply(TPinPadConfig& c, const TSettingLine& at, const QString& key, const QString& value) {
    const QString k = key.toLower();
    const auto toInt = [&] { return at.toInt(key, value); };
    if (k == u"terminal") {
        try {
            c.terminal = ParseTerminalChoice(value);
        } catch (const std::exception& e) {
            at.fail(QString::fromUtf8(e.what()));
        }
    } else if (k == u"connecttimeoutms")
        c.connectTimeoutMs = toInt();
    else if (k == u"answertimeoutseconds")
        c.answerTimeoutMs = toInt() * 1000;
    else if (k == u"interactive")
        c.interactive = at.toBool(key, value);
    else if (k == u"connected")
        c.connected = at.toBool(key, value);
    else if (k == u"cardenquiryresult")
        c.cardEnquiryResult = toInt();
    else if (k == u"authoriseresult")
        c.authoriseResult = toInt();
    else if (k == u"responsecode")
        c.responseCode = toInt();
    else if (k == u"schemename")
        c.schemeName = value;
    else if (k == u"panfirst6digits")
        c.panFirst6Digits = value;
    else if (k == u"panlast4digits")
        c.panLast4Digits = value;
    else if (k == u"authorisationcode")
        c.authorisationCode = value;
    else if (k == u"merchantno")
        c.merchantNo = value;
    else if (k == u"terminalid")
        c.terminalId = value;
    else if (k == u"dcccurrencycode")
        c.dccCurrencyCode = value;
    else if (k == u"customerverification")
        c.customerVerification = toInt();
    else if (k == u"dataentrymethod")
        c.dataEntryMethod = toInt();
    else if (k == u"cardenquirydelayms")
        c.cardEnquiryDelayMs = toInt();
    else if (k == u"authorisedelayms")
        c.authoriseDelayMs = toInt();
    else if (k == u"choicetimeoutseconds")
        c.choiceTimeoutMs = toInt() * 1000;
    else if (k == u"failingcall")
        c.failingCall = value;
    else if (k == u"status")
        c.statusMessages.push_back(ToStatus(at, value));
    else
        at.fail(QStringLiteral("unknown setting \"%1\"").arg(key));
}

[[noreturn]] void SecretFails(const QString& path, const QString& why) {
    throw std::runtime_error(
        QStringLiteral("The terminal link's secret %1 %2").arg(path, why).toStdString());
}

[[noreturn]] void CannotMake(const QString& path, int error) {
    SecretFails(
        path,
        QStringLiteral("cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
}

// A descriptor closed with its scope.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : fd_(fd) {}
    ~TFileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// 32 random bytes as 64 hexadecimal characters: text, so that it can be copied to the other
// side of the link by hand.
QByteArray NewSecret() {
    std::array<quint32, MinTerminalSecretBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof words).toHex() + '\n';
}

}  // namespace

TTerminalChoice ParseTerminalChoice(const QString& value) {
    const QString v = value.trimmed();
    TTerminalChoice choice;
    if (v.isEmpty()) return choice;
    if (v.compare(u"simulator", Qt::CaseInsensitive) == 0) {
        choice.kind = TTerminalChoice::Kind::Simulator;
        return choice;
    }
    const qsizetype colon = v.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon > 0 ? v.mid(colon + 1).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535)
        throw std::runtime_error(
            QStringLiteral("Terminal must be empty, simulator or host:port, not \"%1\"")
                .arg(v)
                .toStdString());
    choice.kind = TTerminalChoice::Kind::Service;
    choice.host = v.left(colon);
    choice.port = quint16(port);
    return choice;
}

TPinPadConfig ReadPinPadText(const QString& text, const QString& name,
                             const TOwnPinPadSetting& own) {
    TPinPadConfig config;
    QString content = text;
    QTextStream in(&content, QIODevice::ReadOnly);
    QString section;
    for (int line = 1; !in.atEnd(); ++line) {
        const QString setting = in.readLine().trimmed();
        if (setting.isEmpty() || setting.startsWith(u';') || setting.startsWith(u'#')) continue;
        if (setting.startsWith(u'[') && setting.endsWith(u']')) {
            section = setting.mid(1, setting.size() - 2).trimmed().toLower();
            continue;
        }
        const TSettingLine at{QStringLiteral("PIN pad settings"), name, line};
        const qsizetype equals = setting.indexOf(u'=');
        if (equals <= 0) at.fail(QStringLiteral("\"%1\" is not a setting").arg(setting));
        const QString key = setting.left(equals).trimmed();
        const QString value = setting.mid(equals + 1).trimmed();
        if (own && own(section, at, key, value)) continue;
        if (section == kSection) Apply(config, at, key, value);
    }
    return config;
}

TPinPadConfig ReadPinPadConfig(const QString& path, const TOwnPinPadSetting& own) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(QStringLiteral("PIN pad settings %1 cannot be read: %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    return ReadPinPadText(QString::fromUtf8(file.readAll()), path, own);
}

QString DefaultPinPadFile(const QString& terminal) {
    return QStringLiteral(
               "; The card terminal of the kiosk, read at the start of every payment.\n"
               "[PinPad]\n"
               "; Where card payments go: host:port of a terminal service (kpterminal listens on\n"
               "; 127.0.0.1:8105), simulator for the simulated terminal inside the kiosk "
               "(development\n"
               "; only), or empty: card payments are unavailable.\n"
               "Terminal=%1\n"
               "; The terminal service must accept a connection within this time, and answer a "
               "payment\n"
               "; within the other; otherwise the kiosk asks it what became of the payment.\n"
               "ConnectTimeoutMs=2000\n"
               "AnswerTimeoutSeconds=180\n"
               "; The rest sets how the simulated terminal inside the kiosk answers.\n"
               "; true: a virtual PIN pad opens with every payment, where you choose how the "
               "terminal\n"
               "; answers (approve, decline, remove card, no terminal); the card details come from "
               "below.\n"
               "; false: the terminal answers every step as set below.\n"
               "Interactive=true\n"
               "; false: no terminal answers (\"Could not connect to pay terminal\").\n"
               "Connected=true\n"
               "; Reading the card: 0 or 2 go on, anything else is an invalid card.\n"
               "CardEnquiryResult=0\n"
               "; Authorisation: 0 goes on, anything else is not authorised.\n"
               "AuthoriseResult=0\n"
               "; 1 accepted, 2 declined, 3 cancelled, 4 invalid card, anything else an unknown "
               "issue.\n"
               "ResponseCode=1\n"
               "SchemeName=Visa\n"
               "PanFirst6Digits=476173\n"
               "PanLast4Digits=0119\n"
               "AuthorisationCode=084512\n"
               "MerchantNo=21234567\n"
               "TerminalId=22446688\n"
               "DccCurrencyCode=\n"
               "CustomerVerification=1\n"
               "DataEntryMethod=1\n"
               "; How long the customer takes with the card, and the acquirer with its answer.\n"
               "CardEnquiryDelayMs=2500\n"
               "AuthoriseDelayMs=1500\n"
               "; Interactive: without a choice within this time the card counts as removed.\n"
               "ChoiceTimeoutSeconds=120\n"
               "; The member of this name fails with an error result, e.g. CardEnquiry.\n"
               "FailingCall=\n"
               "; The terminal's prompts: milliseconds after the card was presented, a space, the "
               "text.\n"
               "Status=0 Card inserted\n"
               "Status=800 Enter your PIN\n"
               "Status=2000 PIN OK\n"
               "Status=2500 Authorising, please wait\n"
               "Status=4000 Please remove your card\n")
        .arg(terminal);
}

TPinPadConfig LoadPinPadConfig(const QString& dataFolder) {
    const QString path = IncludeSlash(dataFolder) + QStringLiteral("PinPad.ini");
    if (!QFileInfo::exists(path)) return {};
    TPinPadConfig config = ReadPinPadConfig(path);
    if (config.terminal.kind != TTerminalChoice::Kind::Service) return config;
    try {
        config.terminal.secret = ReadTerminalSecret(TerminalSecretPath(dataFolder));
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Card payments are unavailable: %1").arg(e.what()), 0);
        config.terminal = {};
    }
    return config;
}

QString TerminalSecretPath(const QString& dataFolder) {
    return IncludeSlash(dataFolder) + QStringLiteral("Terminal/secret");
}

QByteArray ReadTerminalSecret(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        SecretFails(path, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    constexpr auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others)
        SecretFails(path, QStringLiteral("is open to other users; it must have mode 0600"));
    // A secret is short; the limit only keeps a wrong file from being read whole.
    const QByteArray secret = file.read(64 * 1024).trimmed();
    if (secret.size() < MinTerminalSecretBytes)
        SecretFails(path, QStringLiteral("is shorter than %1 bytes").arg(MinTerminalSecretBytes));
    return secret;
}

bool MakeTerminalSecret(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) SecretFails(path, QStringLiteral("has no folder %1").arg(folder));
    // Created with its mode in one step, so it is never readable by others, not even briefly.
    const TFileDescriptor fd(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0 && errno == EEXIST) return false;
    if (fd.get() < 0) CannotMake(path, errno);
    const QByteArray secret = NewSecret();
    if (::write(fd.get(), secret.constData(), size_t(secret.size())) != secret.size() ||
        ::fsync(fd.get()) != 0) {
        const int error = errno;
        QFile::remove(path);  // a part of a secret would hold the link down on both sides
        CannotMake(path, error);
    }
    return true;
}
