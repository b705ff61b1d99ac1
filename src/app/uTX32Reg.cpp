#include "app/uTX32Reg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QThread>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>

#include "app/uFiles.h"
#include "app/uRegFile.h"
#include "app/uText.h"

using namespace Qt::StringLiterals;
using namespace regfile;

namespace {

const QString SuiteKey = QStringLiteral("SOFTWARE\\Tollex\\TX32");

// ---- The hive file -----------------------------------------------------------------------

// An exclusive flock on the hive's side lock file, held while a change is read, made and
// written back. Closing the descriptor releases it.
class HiveLock {
public:
    HiveLock(const QString& fileName, std::chrono::milliseconds wait)
        : file_{
              ::open(QFile::encodeName(fileName).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0664)} {
        if (file_.get() < 0) return;
        const auto giveUp = std::chrono::steady_clock::now() + wait;
        while (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) throw error(fileName, "cannot lock");
            if (std::chrono::steady_clock::now() > giveUp)
                throw error(fileName, "held by another program");
            QThread::msleep(10);
        }
        locked_ = true;
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    bool locked() const { return locked_; }

private:
    static ERegistryException error(const QString& fileName, const char* what) {
        return ERegistryException(QStringLiteral("Settings store lock %1: %2")
                                      .arg(fileName, QLatin1String(what))
                                      .toStdString());
    }
    UniqueFd file_;
    bool locked_ = false;
};

class HiveFile {
public:
    HiveFile(const QString& fileName, std::chrono::milliseconds lockWait)
        : fileName_(fileName), lockWait_(lockWait) {}

    // The hive as stored now; a missing file is an empty hive.
    HiveDocument load() const {
        QFile file(fileName_);
        if (!file.exists()) return {};
        if (!file.open(QIODevice::ReadOnly))
            throw ERegistryException(QStringLiteral("Cannot read %1: %2")
                                         .arg(fileName_, file.errorString())
                                         .toStdString());
        return HiveDocument::parse(file.readAll(), fileName_);
    }

    // Applies change to the hive under the lock and writes the hive back when change returns
    // true. Returns false, changing nothing, when the hive cannot be written.
    bool update(const std::function<bool(HiveDocument&)>& change) const {
        const QFileInfo info(fileName_);
        if (!QDir().mkpath(info.absolutePath())) return false;
        HiveLock lock(fileName_ + u".lock"_s, lockWait_);
        if (!lock.locked()) return false;
        QFile probe(fileName_);  // creates a missing hive; fails on a read-only one
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
        probe.close();
        HiveDocument doc = load();
        if (change(doc)) save(doc);
        return true;
    }

private:
    void save(const HiveDocument& doc) const {
        QSaveFile file(fileName_);
        if (!file.open(QIODevice::WriteOnly) || file.write(doc.serialize()) < 0 || !file.commit())
            throw ERegistryException(QStringLiteral("Cannot write %1: %2")
                                         .arg(fileName_, file.errorString())
                                         .toStdString());
    }

    QString fileName_;
    std::chrono::milliseconds lockWait_;
};

// ---- Typed values ------------------------------------------------------------------------

[[noreturn]] void wrongKind(const QString& section, const QString& name) {
    throw ERegistryException(QStringLiteral("Invalid data type for '%1' in section '%2'")
                                 .arg(name, section)
                                 .toStdString());
}

uint typeOfMode(int mode) {
    switch (mode) {
        case rmInteger:
            return RegDword;
        case rmFloat:
            return RegBinary;
        default:
            return RegSz;
    }
}

// The value as text in the kind of the mode; a value of another kind raises.
QString textOfValue(const RegValue& v, int mode, const QString& section) {
    switch (mode) {
        case rmInteger:
            if (v.type != RegDword || v.data.size() != 4) wrongKind(section, v.name);
            return QString::number(qFromLittleEndian<qint32>(v.data.constData()));
        case rmFloat:
            if (v.type != RegBinary || v.data.size() != 8) wrongKind(section, v.name);
            return FloatText(qFromLittleEndian<double>(v.data.constData()));
        default:
            if (v.type != RegSz && v.type != RegExpandSz) wrongKind(section, v.name);
            return stringFromData(v.data);
    }
}

// The text as a value of the kind of the mode; text that is not a number raises.
RegValue valueOfText(const QString& name, int mode, const QString& text) {
    RegValue v{name, typeOfMode(mode), {}};
    bool ok = true;
    switch (mode) {
        case rmInteger: {
            const qint32 number = text.toInt(&ok);
            v.data.resize(4);
            qToLittleEndian<qint32>(number, v.data.data());
            break;
        }
        case rmFloat: {
            const double number = QLocale().toDouble(text, &ok);
            v.data.resize(8);
            qToLittleEndian<double>(number, v.data.data());
            break;
        }
        default:
            v.data = stringData(text);
    }
    if (!ok)
        throw ERegistryException(
            QStringLiteral("'%1' is not a valid %2 value for '%3'")
                .arg(text, mode == rmInteger ? u"integer"_s : u"floating point"_s, name)
                .toStdString());
    return v;
}

QString hiveFileFromEnvironment(const char* variable, const QString& fallback) {
    const QString path = qEnvironmentVariable(variable);
    return path.isEmpty() ? fallback : path;
}

QString userHiveFile() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + u"/.config"_s;
    return hiveFileFromEnvironment("KIOSK_REGISTRY_USER",
                                   config + u"/tollex/HKEY_CURRENT_USER.reg"_s);
}

QString machineHiveFile() {
    return hiveFileFromEnvironment("KIOSK_REGISTRY_MACHINE",
                                   u"/etc/tollex/HKEY_LOCAL_MACHINE.reg"_s);
}

QString keyPath(const QString& root, const QString& section) {
    QString path = root + u'\\' + SuiteKey;
    if (!section.isEmpty()) path += u'\\' + section;
    return path;
}

// The machine hive is used when the suite key can be created or opened there for writing. A
// writable hive that holds the key already needs no lock: every store chooses its hive this
// way, and waiting here would make every log line wait for whoever holds the lock.
bool machineHiveWritable(const QString& fileName, std::chrono::milliseconds lockWait) {
    try {
        const QString suite = keyPath(u"HKEY_LOCAL_MACHINE"_s, {});
        const HiveFile hive(fileName, lockWait);
        if (QFileInfo(fileName).isWritable() && hive.load().find(suite)) return true;
        return hive.update([&](HiveDocument& doc) {
            if (doc.find(suite)) return false;
            doc.ensure(suite);
            return true;
        });
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

// ---- TTX32Reg ----------------------------------------------------------------------------

TTX32Reg::TTX32Reg() : TTX32Reg(std::chrono::seconds(10)) {}

QStringList TTX32Reg::hiveFileNames() {
    return {machineHiveFile(), userHiveFile()};
}

TTX32Reg::TTX32Reg(std::chrono::milliseconds lockWait) : fLockWait(lockWait) {
    const QString machine = machineHiveFile();
    if (machineHiveWritable(machine, lockWait)) {
        fRKEY = THive::Machine;
        fFileName = machine;
        fRootName = u"HKEY_LOCAL_MACHINE"_s;
    } else {
        fRKEY = THive::User;
        fFileName = userHiveFile();
        fRootName = u"HKEY_CURRENT_USER"_s;
    }
}

namespace {

std::optional<RegValue> storedValue(const QString& fileName, const QString& path,
                                    const QString& name) {
    const HiveDocument doc = HiveFile(fileName, {}).load();
    const RegKey* key = doc.find(path);
    const RegValue* value = key ? key->value(name) : nullptr;
    return value ? std::optional<RegValue>(*value) : std::nullopt;
}

}  // namespace

QString TTX32Reg::ReadString(const QString& section, const QString& name, int mode,
                             const QString& defaultText) const {
    const auto stored = storedValue(fFileName, keyPath(fRootName, section), name);
    const QString result = stored ? textOfValue(*stored, mode, section) : defaultText;
    // A value read in its own kind is left as it is (rewriting a float from its 15-digit text
    // would round it); a missing one is stored with the default.
    if (!stored || stored->type != typeOfMode(mode)) WriteString(section, name, mode, result);
    return result;
}

void TTX32Reg::WriteString(const QString& section, const QString& name, int mode,
                           const QString& text) const {
    const QString path = keyPath(fRootName, section);
    HiveFile(fFileName, fLockWait).update([&](HiveDocument& doc) {
        return doc.ensure(path).setValue(valueOfText(name, mode, text));
    });
}

int TTX32Reg::ReadInteger(const QString& section, const QString& name, int defaultValue) const {
    bool ok = false;
    const int value =
        ReadString(section, name, rmInteger, QString::number(defaultValue)).toInt(&ok);
    return ok ? value : defaultValue;
}

void TTX32Reg::WriteInteger(const QString& section, const QString& name, int value) const {
    WriteString(section, name, rmInteger, QString::number(value));
}

double TTX32Reg::readFloat(const QString& section, const QString& name) const {
    bool ok = false;
    const double value =
        QLocale().toDouble(ReadString(section, name, rmFloat, QString::number(0)), &ok);
    return ok ? value : 0;
}

void TTX32Reg::writeFloat(const QString& section, const QString& name, double value) const {
    WriteString(section, name, rmFloat, FloatText(value));
}

void TTX32Reg::ReadFont(const QString& section, const QString& name,
                        TKioskFont& font) const noexcept {
    try {
        const QString text = ReadString(section, name, rmText, {});
        if (text.isEmpty()) return;
        const auto field = [&](int index) { return int(TextToInt(GetToken(index, text, ";"))); };
        font.name = GetToken(0, text, ";");
        font.size = field(1);
        font.style = field(2);
        font.colour = field(3);
    } catch (...) {
        // a font is decoration: keep what was set
    }
}

void TTX32Reg::writeFont(const QString& section, const QString& name,
                         const TKioskFont& font) const {
    WriteString(section, name, rmText,
                QStringList{font.name, QString::number(font.size), QString::number(font.style),
                            QString::number(font.colour)}
                    .join(u';'));
}

void TTX32Reg::deleteKey(const QString& section, const QString& name) const {
    const QString path = keyPath(fRootName, section);
    HiveFile(fFileName, fLockWait).update([&](HiveDocument& doc) {
        RegKey* key = doc.find(path);
        return key && key->removeValue(name);
    });
}

void TTX32Reg::deleteSection(const QString& path) const {
    const QString last = path.mid(path.lastIndexOf(u'\\') + 1);
    if (last.isEmpty()) return;
    const QString full = keyPath(fRootName, path);
    HiveFile(fFileName, fLockWait).update([&](HiveDocument& doc) { return doc.removeTree(full); });
}

void TTX32Reg::GetValueNames(const QString& section, QStringList& list) const {
    list.clear();
    const HiveDocument doc = HiveFile(fFileName, fLockWait).load();
    if (const RegKey* key = doc.find(keyPath(fRootName, section)))
        for (const RegValue& v : key->values) list.append(v.name);
}

void TTX32Reg::GetKeyNames(const QString& section, QStringList& list) const {
    list.clear();
    const HiveDocument doc = HiveFile(fFileName, fLockWait).load();
    if (doc.find(keyPath(fRootName, section))) list = doc.childNames(keyPath(fRootName, section));
}

int TTX32Reg::getDBDetails(QStringList& list, const QString& separator,
                           const QString& defaultName) const {
    int result = defaultName.isEmpty() ? 0 : -1;
    list.clear();
    const QString lastUsed = lastUsedDB();
    const QString listSection = u"Database\\List"_s;
    const HiveDocument doc = HiveFile(fFileName, fLockWait).load();
    const QString listPath = keyPath(fRootName, listSection);
    if (!doc.find(listPath)) return result;
    for (const QString& name : doc.childNames(listPath)) {
        const QString section = listSection + u'\\' + name;
        const RegKey* key = doc.find(keyPath(fRootName, section));
        const auto text = [&](const QString& valueName) {
            const RegValue* v = key->value(valueName);
            return v ? textOfValue(*v, rmText, section) : QString();
        };
        int colour = 0;
        if (const RegValue* v = key->value(u"Colour"_s);
            v && v->type == RegDword && v->data.size() == 4)
            colour = qFromLittleEndian<qint32>(v->data.constData());
        list.append(
            QStringList{name, text(u"LocalPath"_s), text(u"ServerPath"_s), QString::number(colour)}
                .join(separator));
        const QString& wanted = defaultName.isEmpty() ? lastUsed : defaultName;
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) result = int(list.size() - 1);
    }
    return result;
}

QString TTX32Reg::getLastUsedDBPath(bool server) const {
    const QString database = lastUsedDB();
    if (database.isEmpty()) return {};
    const QString section = u"Database\\List\\"_s + database;
    const auto stored = storedValue(fFileName, keyPath(fRootName, section),
                                    server ? u"ServerPath"_s : u"LocalPath"_s);
    return stored ? textOfValue(*stored, rmText, section) : QString();
}

QString TTX32Reg::lastUsedDB() const {
    return ReadString(u"Database"_s, u"DefaultDatabase"_s, rmText, {}).toUpper();
}

void TTX32Reg::setLastUsedDB(const QString& name) const {
    WriteString(u"Database"_s, u"DefaultDatabase"_s, rmText, name);
}

QString TTX32Reg::lastUser() const {
    return ReadString({}, u"LastUser"_s, rmText, {});
}

void TTX32Reg::setLastUser(const QString& name) const {
    WriteString({}, u"LastUser"_s, rmText, name);
}

QString TTX32Reg::GetCommandSequence(const QString& program) const {
    const QString own = QFileInfo(ModuleFileName()).fileName();
    const QString target = program.isEmpty() ? own : program;
    const QString command = ReadString(u"IDEx\\"_s + target, u"COMMAND"_s, rmText, {});
    // Only collecting our own command consumes it; looking at another program's must not
    // throw away a command waiting for us.
    if (target.compare(own, Qt::CaseInsensitive) == 0) SetCommandSequence(own, {});
    return command;
}

void TTX32Reg::SetCommandSequence(const QString& program, const QString& command) const {
    WriteString(u"IDEx\\"_s + program, u"COMMAND"_s, rmText, command);
}
