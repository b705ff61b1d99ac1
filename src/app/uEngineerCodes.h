#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// The engineer codes a kiosk accepts at its scan point. A kiosk without a codes file (a
// developer's, ./kiosk run, a demonstration kiosk) accepts the two codes built into the program;
// an installed kiosk has data/EngineerCodes with codes of its own, made at its install and kept
// there only as salted hashes, and then accepts those alone: the built-in codes are published
// and must not open a shop's kiosk.
//
// The file, one code a line ('#' starts a comment):
//   manager pbkdf2-sha256 <iterations> <salt, hex> <key, hex>
//   engineer pbkdf2-sha256 <iterations> <salt, hex> <key, hex>

// The two codes built into the program; they need no row in TBL_USERS.
inline constexpr const char* kEngineerCode = "4b17e2c9a05d";       // -1: all rights, manager page
inline constexpr const char* kEngineerSetupCode = "e83a5f1c6b27";  // -2: no rights, engineer page

bool IsBuiltInEngineerCode(const QString& code);

// What a code of an installation is made of: capitals and digits a scanner reads from Code 128,
// without the look-alikes 0/O and 1/I/L that an engineer would mistype from a printout.
inline const QString kEngineerCodeAlphabet = QStringLiteral("ABCDEFGHJKMNPQRSTUVWXYZ23456789");
inline constexpr int kEngineerCodeLength = 16;
// Enough to make a guess at a stolen file slow; a scan of a code that might be an engineer's
// computes it once per stored code, so it stays far below a person's notice.
inline constexpr int kEngineerCodeIterations = 20000;

// The codes file of a data folder ("/opt/kpselfserv/data/" gives ".../data/EngineerCodes").
QString EngineerCodesFileName(const QString& dataFolder);

// PBKDF2 with HMAC-SHA256 (RFC 8018), a key of `length` bytes.
QByteArray Pbkdf2Sha256(const QByteArray& password, const QByteArray& salt, int iterations,
                        int length = 32);

// A fresh code from the system's random source: kEngineerCodeLength characters of
// kEngineerCodeAlphabet, never all digits (so that no product barcode is ever taken for one).
QString NewEngineerCode();

// The text of a codes file holding the two codes as salted hashes.
QByteArray EngineerCodesFileText(const QString& managerCode, const QString& engineerCode);

// Writes the codes file readable and writable by its owner alone, replacing any file there
// whole (a temporary file renamed over it). Raises std::runtime_error naming the file.
void WriteEngineerCodes(const QString& fileName, const QString& managerCode,
                        const QString& engineerCode);

class TEngineerCodes {
public:
    // The built-in codes.
    TEngineerCodes() = default;
    // The codes of the data folder: its codes file when there is one, else the built-in codes.
    // A file that cannot be read or holds no valid code opens nothing (logged at level 0):
    // falling back to the built-in codes would open the kiosk to them.
    static TEngineerCodes ofDataFolder(const QString& dataFolder);

    // -1 for the manager's code (all rights), -2 for the engineer's, 0 for anything else. A
    // built-in code scanned at a kiosk with codes of its own is logged at level 0.
    int match(const QString& code) const;
    // True when the kiosk has codes of its own (an installed kiosk).
    bool ownCodes() const { return fOwn; }
    // The code that opens the engineer page, as the log names it (never the code itself).
    QString engineerCodeName() const;

private:
    struct THashedCode {
        int user = 0;  // -1 or -2
        int iterations = 0;
        QByteArray salt;
        QByteArray key;
    };
    static std::vector<THashedCode> readFile(const QString& fileName);

    bool fOwn = false;
    std::vector<THashedCode> fCodes;
};
