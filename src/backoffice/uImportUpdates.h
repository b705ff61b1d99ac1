#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "db/fbConnection.h"

// Import of update files: the back office drops JSON update files (and PNG key pictures) into
// data/Import/; each file replaces all master data, whole or not at all, and is archived under
// Import/Processed/yyyy/mm/ or Import/Failed/yyyy/mm/. Pictures go to the pictures folder after
// the files of a pass, so an update's own pictures survive its emptying of that folder.

// Where a pass finds its files and puts the pictures; both end with "/".
struct ImportFolders {
    QString importFolder;  // DataFolder + "Import/"
    QString resFolder;     // DataFolder + "Res/"

    static ImportFolders ofDataFolder(const QString& dataFolder);
};

// What an import asks of the screen; every member may be left empty.
struct ImportView {
    std::function<void()> filesStarting;  // update files are about to be applied
    std::function<void()> filesDone;      // all of them have been, whatever the outcome
    std::function<void()> keepAlive;      // called every few hundred rows to pump events
};

// The outcome of one update file.
struct ImportFileResult {
    bool applied = false;  // the master data is now the file's (committed)
    // Where the file went: its archive folder, or, when it could not get there, the same name
    // with ".processed" or ".failed" added; empty when it could not be moved at all.
    QString archivedTo;
    QString reason;  // why the file failed; empty when it was applied
};

// Reads and checks the whole update file, then replaces the master tables and the site details
// in one transaction, committed once; only after that commit is the pictures folder emptied
// and the file archived under Processed/. A file that fails (unreadable, not a JSON object, a
// missing or unreadable key, a database refusal) changes nothing, goes to Failed/, and leaves
// one level-0 log line naming the file and the reason.
ImportFileResult ImportUpdateFile(fb::Connection& conx, const ImportFolders& folders,
                                  const QString& fileName,
                                  const std::function<void()>& keepAlive = {});

// The outcome of one pass.
struct ImportPassResult {
    QStringList applied;  // update files applied, in the order they were taken
    QStringList failed;
    int picturesMoved = 0;

    // Whether the master data or the site details may have changed.
    bool anyApplied() const { return !applied.isEmpty(); }
};

// Applies every waiting update file in name order, then moves the waiting pictures into the
// pictures folder (overwriting; a picture that cannot be copied waits for the next pass). A
// file that another process still holds open, being written, waits for the next pass too.
// filesStarting/filesDone bracket the files and are not called when there are none. From before
// filesStarting to the end of the last file a unit of work of the import is open on the
// connection (conx.inTransaction()), so a pass started meanwhile (from a handler reached through
// filesStarting or keepAlive) does nothing, and other work can tell the import runs.
ImportPassResult ImportUpdatesPass(fb::Connection& conx, const ImportFolders& folders,
                                   const ImportView& view = {});

// The code on a user's staff card, as POS_PASS holds it: "888", the password padded on the left
// with "0" to six characters (never cut), and one "0" more when that leaves an odd length.
// No password, no card: the code is empty.
QString StaffCardCode(const QString& password);
