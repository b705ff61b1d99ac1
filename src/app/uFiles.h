#pragma once

#include <QString>
#include <QStringList>

// Files and folders. Folder values end with "/".

// A POSIX file descriptor, closed with its owner (-1 when opening failed).
class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Appends "/" unless the text ends with one; with create, makes the folder and its parents.
QString IncludeSlash(const QString& folder, bool create = false);

// Full path of the running program (/proc/self/exe).
QString ModuleFileName();

// True when another process holds the file open or holds a lock on it (as an attached
// Firebird engine does with its database), or when that cannot be told; false when the file
// does not exist. Descriptors and locks of this process do not count. The test opens and
// closes a descriptor of its own, which drops any POSIX record lock this process holds on
// the file (flock locks, as Firebird takes, are not affected).
bool IsFileInUse(const QString& path);

// Counts the files of folder (created when missing) matching masks ("*.json;*.png", matched
// without regard to case as on Windows; "*.*" is every file), in every subfolder too when
// recurse is set. Files are taken mask by mask, in name order within a folder. When list is
// given (and emptied first when clear is set), each counted file is added as its full path
// when newer is 0, or as "path?daynumber" (its last-write day number, regional format) when
// newer is a day number (see DateTimeToDayNumber) and the file was written after it; newer
// below 0 lists nothing. Symbolic links to folders are not followed.
int FindFiles(const QString& folder, const QString& masks, bool recurse, double newer, bool clear,
              QStringList* list);

// Deletes every file of folder (created when missing) and, unless keepSubfolders is set, every
// subfolder with its content. Failures are ignored; an empty folder text does nothing.
void EmptyFolder(const QString& folder, bool keepSubfolders);
