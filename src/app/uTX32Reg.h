#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <stdexcept>

// The settings store shared by the programs of the TX32 suite: named values under the suite
// key SOFTWARE\Tollex\TX32, grouped in sections (key paths relative to the suite key, which may
// contain backslashes, e.g. Database\List\Shop; an empty section is the suite key itself).
//
// Each hive is one text file in the Windows registry export format ("Windows Registry Editor
// Version 5.00"), so a hive can be read and edited by hand or moved to and from a Windows PC:
//   machine hive: $KIOSK_REGISTRY_MACHINE, else /etc/tollex/HKEY_LOCAL_MACHINE.reg
//   user hive:    $KIOSK_REGISTRY_USER, else $XDG_CONFIG_HOME/tollex/HKEY_CURRENT_USER.reg
//                 (~/.config when XDG_CONFIG_HOME is unset)
// Every call parses the file afresh (a reader that calls often keeps a copy of what it read
// and reads again when a hive file changes, as the log does with its level); every change is
// written to a temporary file in the same folder and renamed over the hive, under an flock on
// "<hive>.lock", so programs sharing a hive never see half a file nor lose each other's changes.

// A value of a different kind than asked for, or a hive file that cannot be read.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Kind of a value in ReadString/WriteString; any other number reads and writes text.
enum TRegMode : int {
    rmText = 0,     // registry string
    rmInteger = 1,  // 32-bit number (dword)
    rmFloat = 2,    // 8 bytes holding a double (hex)
};

// Font fields as the suite stores them ("Tahoma;12;1;0"); the core has no font class.
struct TKioskFont {
    QString name;
    int size = 0;
    int style = 0;   // TKioskFontStyle flags
    int colour = 0;  // Windows colour value 0x00BBGGRR, negative for system colours
    bool operator==(const TKioskFont&) const = default;
};

enum TKioskFontStyle : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TTX32Reg {
public:
    enum class THive { Machine, User };

    // Chooses the hive: the machine hive when its file can be created or opened for writing
    // (its folder is created if needed, and the suite key with it), otherwise the user hive.
    TTX32Reg();
    // As above, waiting at most lockWait for another program's change of the hive (10 s by
    // default); a change that cannot wait raises ERegistryException.
    explicit TTX32Reg(std::chrono::milliseconds lockWait);

    // The files of the machine and the user hive, as the environment names them now.
    static QStringList hiveFileNames();

    THive hive() const { return fRKEY; }
    const QString& hiveFileName() const { return fFileName; }

    // Reads a value in the kind of the mode and gives it as text (integers in decimal, floats
    // in general format with up to 15 digits and the regional decimal separator), or the
    // default when missing. A missing value is then stored with the default, so the store
    // documents every setting in use; a string of the expandable kind is rewritten as plain
    // text. Raises ERegistryException when the stored value is of another kind.
    QString ReadString(const QString& section, const QString& name, int mode,
                       const QString& defaultText) const;

    // Stores the text in the kind of the mode. Raises ERegistryException when the text is not
    // an integer (mode 1) or a regional number (mode 2). Does nothing when the hive cannot be
    // written.
    void WriteString(const QString& section, const QString& name, int mode,
                     const QString& text) const;

    int ReadInteger(const QString& section, const QString& name, int defaultValue) const;
    void WriteInteger(const QString& section, const QString& name, int value) const;
    double readFloat(const QString& section, const QString& name) const;  // 0 when missing
    void writeFloat(const QString& section, const QString& name, double value) const;

    // Fills the font from "name;size;style;colour" field by field, stopping at the first
    // error; a field that is not a whole number gives 0. Never raises.
    void ReadFont(const QString& section, const QString& name, TKioskFont& font) const noexcept;
    void writeFont(const QString& section, const QString& name, const TKioskFont& font) const;

    // Deletes one value of the section.
    void deleteKey(const QString& section, const QString& name) const;
    // Deletes the key named by the last component of the path, with everything below it;
    // a path ending in a backslash deletes nothing.
    void deleteSection(const QString& path) const;

    void GetValueNames(const QString& section, QStringList& list) const;  // in stored order
    void GetKeyNames(const QString& section, QStringList& list) const;    // alphabetical

    // Fills the list with one entry per known database, "name<sep>LocalPath<sep>ServerPath
    // <sep>Colour", and returns the index of the entry named defaultName (-1 when not found),
    // or, with no defaultName, of the entry named lastUsedDB (0 when none matches).
    int getDBDetails(QStringList& list, const QString& separator,
                     const QString& defaultName = {}) const;
    QString getLastUsedDBPath(bool server) const;

    QString lastUsedDB() const;  // upper-cased
    void setLastUsedDB(const QString& name) const;
    QString lastUser() const;
    void setLastUser(const QString& name) const;

    // The command left for a program of the suite (empty name: this program). Collecting this
    // program's own command consumes it.
    QString GetCommandSequence(const QString& program = {}) const;
    void SetCommandSequence(const QString& program, const QString& command) const;

private:
    THive fRKEY;
    std::chrono::milliseconds fLockWait;
    QString fFileName;
    QString fRootName;
};
