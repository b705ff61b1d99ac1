#include "app/uEngineerCodes.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>

#include "app/uLog.h"

namespace {

const QString kFileName = QStringLiteral("EngineerCodes");
const QByteArray kScheme = "pbkdf2-sha256";
constexpr int kSaltBytes = 16;
// The shortest code of a file worth hashing a scan for; a shorter scan is no engineer's code.
constexpr int kShortestCode = 12;

struct TRole {
    const char* name;
    int user;
};
constexpr TRole kRoles[] = {{"manager", -1}, {"engineer", -2}};

int UserOfRole(const QByteArray& name) {
    for (const TRole& role : kRoles)
        if (name == role.name) return role.user;
    return 0;
}

bool AllDigits(const QString& code) {
    return std::all_of(code.begin(), code.end(), [](QChar c) { return c.isDigit(); });
}

// Compares in a time that does not depend on where the keys differ.
bool SameKey(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) difference |= uchar(a[i]) ^ uchar(b[i]);
    return difference == 0;
}

QByteArray HashedLine(const char* role, const QString& code) {
    QByteArray salt(kSaltBytes, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          kSaltBytes / sizeof(quint32));
    const QByteArray key = Pbkdf2Sha256(code.toUtf8(), salt, kEngineerCodeIterations);
    return QByteArray(role) + ' ' + kScheme + ' ' + QByteArray::number(kEngineerCodeIterations) +
           ' ' + salt.toHex() + ' ' + key.toHex() + '\n';
}

}  // namespace

bool IsBuiltInEngineerCode(const QString& code) {
    return code == QLatin1String(kEngineerCode) || code == QLatin1String(kEngineerSetupCode);
}

QString EngineerCodesFileName(const QString& dataFolder) {
    return dataFolder + kFileName;
}

QByteArray Pbkdf2Sha256(const QByteArray& password, const QByteArray& salt, int iterations,
                        int length) {
    QByteArray derived;
    QMessageAuthenticationCode hmac(QCryptographicHash::Sha256, password);
    for (quint32 block = 1; derived.size() < length; ++block) {
        const char index[4] = {char(block >> 24), char(block >> 16), char(block >> 8), char(block)};
        hmac.reset();
        hmac.addData(salt);
        hmac.addData(index, 4);
        QByteArray u = hmac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            hmac.reset();
            hmac.addData(u);
            u = hmac.result();
            for (qsizetype j = 0; j < t.size(); ++j) t[j] = char(t[j] ^ u[j]);
        }
        derived += t;
    }
    return derived.left(length);
}

QString NewEngineerCode() {
    QString code;
    do {
        code.clear();
        for (int i = 0; i < kEngineerCodeLength; ++i)
            code += kEngineerCodeAlphabet[QRandomGenerator::system()->bounded(
                int(kEngineerCodeAlphabet.size()))];
    } while (AllDigits(code));
    return code;
}

QByteArray EngineerCodesFileText(const QString& managerCode, const QString& engineerCode) {
    return "# This kiosk's engineer codes as salted PBKDF2-HMAC-SHA256 hashes; the codes\n"
           "# themselves are shown once, when they are made (./kiosk install --new-codes).\n" +
           HashedLine("manager", managerCode) + HashedLine("engineer", engineerCode);
}

void WriteEngineerCodes(const QString& fileName, const QString& managerCode,
                        const QString& engineerCode) {
    QSaveFile file(fileName);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                         file.write(EngineerCodesFileText(managerCode, engineerCode)) >= 0 &&
                         file.commit();
    if (!written)
        throw std::runtime_error(QStringLiteral("Cannot write the engineer codes to %1: %2")
                                     .arg(fileName, file.errorString())
                                     .toStdString());
}

std::vector<TEngineerCodes::THashedCode> TEngineerCodes::readFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error(file.errorString().toStdString());
    std::vector<THashedCode> codes;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        bool counted = false;
        THashedCode code;
        if (fields.size() == 5) {
            code.user = UserOfRole(fields[0]);
            code.iterations = fields[2].toInt(&counted);
            code.salt = QByteArray::fromHex(fields[3]);
            code.key = QByteArray::fromHex(fields[4]);
        }
        if (code.user == 0 || fields[1] != kScheme || !counted || code.iterations < 1 ||
            code.salt.isEmpty() || code.key.size() != 32)
            throw std::runtime_error("a line is not a code: " + line.left(20).toStdString());
        codes.push_back(code);
    }
    if (codes.empty()) throw std::runtime_error("it holds no code");
    return codes;
}

TEngineerCodes TEngineerCodes::ofDataFolder(const QString& dataFolder) {
    TEngineerCodes codes;
    const QString fileName = EngineerCodesFileName(dataFolder);
    if (!QFile::exists(fileName)) return codes;
    codes.fOwn = true;
    try {
        codes.fCodes = readFile(fileName);
    } catch (const std::exception& error) {
        WriteLog(QStringLiteral("The engineer codes in %1 cannot be used (%2): no engineer code "
                                "opens this kiosk")
                     .arg(fileName, QString::fromUtf8(error.what())),
                 0);
    }
    return codes;
}

int TEngineerCodes::match(const QString& code) const {
    const int builtIn = code == QLatin1String(kEngineerCode)        ? -1
                        : code == QLatin1String(kEngineerSetupCode) ? -2
                                                                    : 0;
    if (!fOwn) return builtIn;
    if (IsBuiltInEngineerCode(code)) {
        WriteLog(QStringLiteral("A built-in engineer code was scanned and refused: this kiosk "
                                "accepts only its own engineer codes"),
                 0);
        return 0;
    }
    if (code.size() < kShortestCode || AllDigits(code)) return 0;
    const QByteArray password = code.toUtf8();
    for (const THashedCode& stored : fCodes)
        if (SameKey(Pbkdf2Sha256(password, stored.salt, stored.iterations), stored.key))
            return stored.user;
    return 0;
}

QString TEngineerCodes::engineerCodeName() const {
    return fOwn ? QStringLiteral("this kiosk's engineer code")
                : QStringLiteral("the built-in engineer code");
}
