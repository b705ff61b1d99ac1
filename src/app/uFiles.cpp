#include "app/uFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "app/uText.h"

using namespace Qt::StringLiterals;

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
