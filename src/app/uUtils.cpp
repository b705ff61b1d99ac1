#include "app/uUtils.h"

#include "app/uStopSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/uTX32Reg.h"

using namespace Qt::StringLiterals;

// ---- Tokens ------------------------------------------------------------------------------

namespace {

QStringList& separatorStack() {
    static QStringList stack;
    return stack;
}

QString currentSeparator() {
    const QStringList& stack = separatorStack();
    return stack.isEmpty() ? u"@"_s : stack.last();
}

}  // namespace

void PushSeparator(const QString& separator) {
    separatorStack().append(separator);
}

void PopSeparator() {
    if (!separatorStack().isEmpty()) separatorStack().removeLast();
}

int TokenCount(const QString& text) {
    return TokenCount(text, currentSeparator());
}

int TokenCount(const QString& text, const QString& separator) {
    if (separator.isEmpty()) return 1;
    int count = 1;
    for (qsizetype pos = text.indexOf(separator); pos >= 0;
         pos = text.indexOf(separator, pos + separator.size()))
        ++count;
    return count;
}

QString GetToken(int index, const QString& text) {
    return GetToken(index, text, currentSeparator());
}

QString GetToken(int index, const QString& text, const QString& separator) {
    if (index < 0 || index >= TokenCount(text, separator)) return {};
    if (separator.isEmpty()) return text;
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) start = text.indexOf(separator, start) + separator.size();
    const qsizetype end = text.indexOf(separator, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

// ---- Numbers and texts -------------------------------------------------------------------

QString PadLeft(const QString& text, int width, QChar pad, bool cut) {
    QString result = cut && text.size() > width ? text.left(width) : text;
    if (result.size() < width) result.prepend(QString(width - result.size(), pad));
    return result;
}

QString IntText(qint64 value) {
    return QString::number(value);
}

qint64 TextToInt(const QString& text, qint64 defaultValue) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : defaultValue;
}

bool IsYes(const QString& text) {
    return text.toUpper() == u"Y"_s;
}

QString CleanCsvField(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c == u'"' || c == u'\'' || c == u',') c = u' ';
    return result;
}

QString FloatText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

int ContrastColour(int colour) {
    const int red = colour & 0xFF;
    const int green = (colour >> 8) & 0xFF;
    const int blue = (colour >> 16) & 0xFF;
    const double lightness = 1 - (0.299 * red + 0.587 * green + 0.114 * blue) / 255;
    return lightness >= 0.5 ? 16777215 : 0;
}

QString FormatMoney(int decimals, bool thousands, bool parentheses, qint64 value) {
    QLocale locale;
    locale.setNumberOptions(thousands ? QLocale::DefaultNumberOptions
                                      : QLocale::OmitGroupSeparator);
    // The extra tenth of the last unit makes an exact half round upward.
    QString text = locale.toString((double(value) + 0.1) / 10000, 'f', std::max(decimals, 0));
    const QString minus = locale.negativeSign();
    const bool zero = std::all_of(text.begin(), text.end(),
                                  [](QChar c) { return !c.isDigit() || c.digitValue() == 0; });
    if (zero) text.remove(minus);  // never "-0.00"
    if (parentheses && text.contains(minus)) text.replace(minus, u"("_s).append(u')');
    return text;
}

QString MoneyText(double amount) {
    return FormatMoney(2, true, false, qRound64(amount * 10000));
}

double ParseMoney(const QString& text, double defaultValue) {
    if (text.isEmpty()) return defaultValue;
    const QLocale locale;
    QString number = text;
    const qsizetype open = number.indexOf(u'(');
    if (open >= 0 && number.indexOf(u')') > open)
        number.replace(u"("_s, locale.negativeSign()).remove(u')');
    number.remove(locale.groupSeparator());
    bool ok = false;
    const double value = locale.toDouble(number, &ok);
    // The locale reads "inf" and "nan" too, which are no amount of money.
    return ok && std::isfinite(value) ? value : 0;
}

QString DateTimeText(bool dateOnly, const QDateTime& dateTime) {
    if (dateOnly) return dateTime.toString(u"yyyy-MM-dd"_s);
    return dateTime.toString(u"yyyy-MM-dd HH:mm:ss."_s) + QString::number(dateTime.time().msec());
}

namespace {

const QDate DayZero(1899, 12, 30);
constexpr double MSecsPerDay = 86400000.0;

}  // namespace

double DateTimeToDayNumber(const QDateTime& dateTime) {
    const double days = double(DayZero.daysTo(dateTime.date()));
    const double fraction = dateTime.time().msecsSinceStartOfDay() / MSecsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime DayNumberToDateTime(double dayNumber) {
    qint64 days = qint64(std::trunc(dayNumber));
    qint64 msecs = std::llround(std::fabs(dayNumber - double(days)) * MSecsPerDay);
    if (msecs >= qint64(MSecsPerDay)) {  // rounded up to the next midnight
        msecs = 0;
        days += dayNumber < 0 ? -1 : 1;
    }
    return QDateTime(DayZero.addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

// ---- Files and folders -------------------------------------------------------------------

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

QString IncludeSlash(const QString& folder, bool create) {
    const QString result = folder.endsWith(u'/') ? folder : folder + u'/';
    if (create && !QFileInfo(result).isDir()) QDir().mkpath(result);
    return result;
}

QString ModuleFileName() {
    static const QString path = [] {
        char buffer[PATH_MAX];
        const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof buffer);
        return size > 0 ? QFile::decodeName(QByteArray(buffer, size)) : QString();
    }();
    return path;
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether one of the open descriptors of process pid is the file. A process that has gone or
// whose descriptors we may not read does not hold it as far as we can tell; its locks are
// still seen by the lock test.
bool processHoldsFile(const char* pid, const struct stat& file) {
    const QByteArray fdFolder = QByteArray("/proc/") + pid + "/fd";
    const DirHandle dir(::opendir(fdFolder.constData()));
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat target;
        if (entry->d_name[0] != '.' &&
            ::fstatat(::dirfd(dir.get()), entry->d_name, &target, 0) == 0 && sameFile(target, file))
            return true;
    }
    return false;
}

bool openedByAnotherProcess(const struct stat& file) {
    const DirHandle proc(::opendir("/proc"));
    if (!proc) return true;
    const QByteArray self = QByteArray::number(::getpid());
    while (const dirent* entry = ::readdir(proc.get())) {
        const char* name = entry->d_name;
        const bool isProcess = std::all_of(name, name + std::strlen(name),
                                           [](char c) { return c >= '0' && c <= '9'; });
        if (!isProcess || self == name) continue;
        if (processHoldsFile(name, file)) return true;
    }
    return false;
}

// Whether a process other than this one holds an flock on the file, by /proc/locks, whose
// lines read "1: FLOCK  ADVISORY  WRITE 1234 fe:00:131090 0 EOF" (waiters add "->" after the
// number). Only the inode is compared: /proc/locks names the device of the underlying file
// system, which differs from stat's on an overlay.
bool flockHeldByAnotherProcess(const struct stat& file) {
    QFile locks(u"/proc/locks"_s);
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text)) return true;
    const QByteArray self = QByteArray::number(::getpid());
    const QByteArray inode = ':' + QByteArray::number(quint64(file.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 1 && fields[1] == "->") fields.removeAt(1);
        if (fields.size() >= 6 && fields[1] == "FLOCK" && fields[5].endsWith(inode) &&
            fields[4] != self)
            return true;
    }
    return false;
}

// Whether another process holds a lock on the file: a record lock over any part of it, or an
// flock (Firebird's hold on its database).
bool lockedByAnotherProcess(const QString& path, const struct stat& file) {
    const UniqueFd probe(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (probe.get() < 0) return true;
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    // F_GETLK leaves out this process's own record locks.
    if (::fcntl(probe.get(), F_GETLK, &range) != 0 || range.l_type != F_UNLCK) return true;
    if (::flock(probe.get(), LOCK_EX | LOCK_NB) == 0) {
        ::flock(probe.get(), LOCK_UN);
        return false;
    }
    return errno != EWOULDBLOCK || flockHeldByAnotherProcess(file);
}

}  // namespace

bool IsFileInUse(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat file;
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return errno != ENOENT && errno != ENOTDIR;
    if (S_ISDIR(file.st_mode)) return false;
    try {
        return openedByAnotherProcess(file) || lockedByAnotherProcess(path, file);
    } catch (...) {
        return true;
    }
}

namespace {

// Windows matches "*.*" against every name, with or without a dot.
QString windowsMask(const QString& mask) {
    const QString trimmed = mask.trimmed();
    return trimmed == u"*.*"_s ? u"*"_s : trimmed;
}

constexpr QDir::Filters AnyFile = QDir::Files | QDir::Hidden | QDir::System;
constexpr QDir::SortFlags ByName = QDir::Name | QDir::IgnoreCase;

}  // namespace

int FindFiles(const QString& folder, const QString& masks, bool recurse, double newer, bool clear,
              QStringList* list) {
    if (clear && list) list->clear();
    const QString path = IncludeSlash(folder, true);
    const QDir dir(path);
    int count = 0;
    if (recurse)
        for (const QString& sub : dir.entryList(
                 QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, ByName))
            count += FindFiles(path + sub, masks, recurse, newer, false, list);
    for (const QString& mask : masks.split(u';', Qt::SkipEmptyParts)) {
        for (const QFileInfo& info : dir.entryInfoList({windowsMask(mask)}, AnyFile, ByName)) {
            ++count;
            if (!list || newer < 0) continue;
            if (newer == 0) {
                list->append(path + info.fileName());
            } else {
                const double written = DateTimeToDayNumber(info.lastModified());
                if (written > newer)
                    list->append(path + info.fileName() + u'?' + FloatText(written));
            }
        }
    }
    return count;
}

void EmptyFolder(const QString& folder, bool keepSubfolders) {
    if (folder.isEmpty()) return;  // would otherwise be the root
    const QDir dir(IncludeSlash(folder, true));
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!info.isDir()) {
            QFile::remove(info.absoluteFilePath());
        } else if (!keepSubfolders) {
            // A link to a folder goes, not what it points at.
            if (info.isSymLink())
                QFile::remove(info.absoluteFilePath());
            else
                QDir(info.absoluteFilePath()).removeRecursively();
        }
    }
}

QString DatabaseLocalPath(const QString& databasePath) {
    QStringList databases;
    TTX32Reg().getDBDetails(databases, u";"_s);
    for (const QString& entry : databases)
        if (GetToken(2, entry, u";"_s).compare(databasePath, Qt::CaseInsensitive) == 0)
            return GetToken(1, entry, u";"_s);
    return QDir::isAbsolutePath(databasePath) ? databasePath : QString();
}

QString ResolveProgramFolder() {
    const auto holdsSuite = [](const QString& folder) {
        return !folder.isEmpty() && QFileInfo::exists(IncludeSlash(folder) + u"TX32Main"_s);
    };
    QString folder = TTX32Reg().ReadString({}, u"ProgramFolder"_s, rmText, {});
    if (!holdsSuite(folder)) {
        const QString programFolder = QFileInfo(ModuleFileName()).absolutePath();
        folder =
            holdsSuite(programFolder) ? programFolder : QFileInfo(programFolder).absolutePath();
    }
    return IncludeSlash(folder, true);
}

QString GetProgramFolder() {
    static const QString folder = ResolveProgramFolder();
    return folder;
}

// ---- Waiting -----------------------------------------------------------------------------

void WaitProcessingEvents(int ms, int stepMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms && !StopRequested()) {
        QThread::msleep(ulong(std::clamp<qint64>(ms - elapsed.elapsed(), 0, stepMs)));
        QCoreApplication::processEvents();
    }
}
