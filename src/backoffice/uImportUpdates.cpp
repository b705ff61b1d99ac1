#include "backoffice/uImportUpdates.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <exception>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uServiceNotify.h"
#include "app/uText.h"
#include "backoffice/uImportAttempts.h"
#include "backoffice/uUpdateFileReader.h"
#include "backoffice/uUpdateFileWriter.h"

using namespace Qt::StringLiterals;

namespace {

// ---- Files -------------------------------------------------------------------------------

// Copies the file into the folder (made when missing) under its own name, overwriting, and
// deletes the original once the copy is made. The copy replaces the file of that name only
// when it is whole, so a failed copy leaves the old one. False when the copy was not made.
bool MoveFileInto(const QString& fileName, const QString& folder) {
    const QString target = IncludeSlash(folder, true) + QFileInfo(fileName).fileName();
    const QString partial = target + u".part"_s;
    QFile::remove(partial);
    if (!QFile::copy(fileName, partial) || ::rename(QFile::encodeName(partial).constData(),
                                                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(fileName);
    return true;
}

struct Archived {
    QString path;            // where the file is now; empty when it could not be moved at all
    bool inArchive = false;  // under the archive folder, not merely renamed aside
};

// Moves an update file to <its folder>/<archive>/yyyy/mm/. A file that cannot go there is
// renamed aside (x.json.processed): left as *.json it would be taken again by every pass, and
// an applied one would empty the pictures folder each time.
Archived ArchiveUpdateFile(const QString& fileName, const QString& archive) {
    const QFileInfo info(fileName);
    const QString folder = IncludeSlash(info.absolutePath()) + archive + u'/' +
                           Clock::instance().now().toString(u"yyyy/MM"_s) + u'/';
    if (MoveFileInto(fileName, folder)) return {folder + info.fileName(), true};
    const QString aside = fileName + u'.' + archive.toLower();
    QFile::remove(aside);
    return {QFile::rename(fileName, aside) ? aside : QString(), false};
}

QString ArchiveNote(const Archived& archived) {
    if (archived.inArchive) return u"moved to %1"_s.arg(archived.path);
    if (!archived.path.isEmpty())
        return u"it could not be archived and was renamed to %1"_s.arg(archived.path);
    return u"it could not be archived and stays in the import folder"_s;
}

// The files of the import folder matching the mask, in name order, but for those another
// process still holds open: a file the transport is still writing waits for the next pass
// instead of being taken half-written.
QStringList WaitingFiles(const ImportFolders& folders, const QString& mask) {
    QStringList files;
    FindFiles(folders.importFolder, mask, false, 0, true, &files);
    files.removeIf([](const QString& file) { return IsFileInUse(file); });
    return files;
}

int MoveWaitingPictures(const ImportFolders& folders) {
    const QStringList pictures = WaitingFiles(folders, u"*.png"_s);
    int moved = 0;
    for (const QString& picture : pictures)
        if (MoveFileInto(picture, folders.resFolder)) ++moved;
    return moved;
}

int gImportDepth = 0;

// Marks an import as running for as long as it lives.
class RunningImport {
public:
    RunningImport() { ++gImportDepth; }
    ~RunningImport() { --gImportDepth; }
    RunningImport(const RunningImport&) = delete;
    RunningImport& operator=(const RunningImport&) = delete;
};

}  // namespace

ImportFolders ImportFolders::ofDataFolder(const QString& dataFolder) {
    const QString data = IncludeSlash(dataFolder);
    return {data + u"Import/"_s, data + u"Res/"_s};
}

ImportFileResult ImportUpdateFile(fb::Connection& conx, const ImportFolders& folders,
                                  const QString& fileName, const std::function<void()>& keepAlive) {
    const RunningImport running;
    ImportAttemptMark mark(fileName);
    ImportFileResult result;
    if (mark.exhausted()) {
        result.reason = u"its import was interrupted %1 times in a row by the kiosk stopping"_s.arg(
            mark.interrupted());
    } else {
        if (!mark.begin())
            WriteLog(
                u"Update file %1: its attempt mark cannot be written, so a kiosk that stops "
                "while applying it will take it again without limit"_s.arg(fileName),
                0);
        try {
            const updatefile::UpdateFile file = updatefile::ReadUpdateFile(fileName);
            updatefile::ReplaceMasterData(conx, file, keepAlive);
            result.applied = true;
        } catch (const std::exception& error) {
            result.reason = QString::fromUtf8(error.what());
        }
    }
    if (result.applied) {
        // Only now: a file that fails must leave the pictures of the master data it keeps.
        EmptyFolder(folders.resFolder, true);
        const Archived archived = ArchiveUpdateFile(fileName, u"Processed"_s);
        result.archivedTo = archived.path;
        if (!archived.inArchive)
            WriteLog(u"Update file %1 was applied, but %2"_s.arg(fileName, ArchiveNote(archived)),
                     0);
    } else {
        const Archived archived = ArchiveUpdateFile(fileName, u"Failed"_s);
        result.archivedTo = archived.path;
        WriteLog(
            u"Update file %1 failed: %2 (%3)"_s.arg(fileName, result.reason, ArchiveNote(archived)),
            0);
    }
    mark.clear();
    return result;
}

ImportPassResult ImportUpdatesPass(fb::Connection& conx, const ImportFolders& folders,
                                   const ImportView& view) {
    ImportPassResult result;
    if (ImportIsRunning()) return result;
    const RunningImport running;
    ImportAttemptMark::removeOrphans(folders.importFolder);
    const QStringList files = WaitingFiles(folders, u"*.json"_s);
    if (!files.isEmpty()) {
        if (view.filesStarting) view.filesStarting();
        for (const QString& file : files) {
            NotifyServiceManager("STATUS=Importing " + QFileInfo(file).fileName().toUtf8());
            const ImportFileResult outcome = ImportUpdateFile(conx, folders, file, view.keepAlive);
            (outcome.applied ? result.applied : result.failed) << file;
        }
        NotifyServiceManager("STATUS=");
        if (view.filesDone) view.filesDone();
    }
    result.picturesMoved = MoveWaitingPictures(folders);
    return result;
}

QString StaffCardCode(const QString& password) {
    if (password.isEmpty()) return {};
    QString code = u"888"_s + PadLeft(password, 6, u'0', false);
    if (code.size() % 2 != 0) code += u'0';
    return code;
}

bool ImportIsRunning() {
    return gImportDepth > 0;
}
