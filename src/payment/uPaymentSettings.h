#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "payment/uSettingLine.h"

// The card terminal's settings, shared by the kiosk and the terminal service kpterminal: which
// terminal the kiosk pays on, the PIN pad file data/PinPad.ini that both read, and the secret
// that authenticates the link between them.

// Which terminal the kiosk pays on: the "Terminal" key of PinPad.ini.
struct TTerminalChoice {
    enum class Kind { None, Simulator, Service };
    Kind kind = Kind::None;  // None: card payments are unavailable
    QString host;            // Service: the terminal service's address
    quint16 port = 0;
    QByteArray secret = {};  // Service: the link's secret, read with the file by LoadPinPadConfig
};
// "" (none), "simulator", or "host:port". A value of another form raises std::runtime_error.
TTerminalChoice ParseTerminalChoice(const QString& value);

// A prompt of the terminal, shown from atMs milliseconds after the card was presented.
struct TPinPadStatus {
    int atMs = 0;
    QString text;
};

// How the simulated terminal answers.
struct TPinPadConfig {
    TTerminalChoice terminal;      // which terminal the kiosk uses
    int connectTimeoutMs = 2000;   // the terminal service must accept a connection within this
    int answerTimeoutMs = 180000;  // and answer a payment within this, else the kiosk asks it
    bool interactive = false;      // a person chooses every outcome on the virtual PIN pad
    bool connected = true;         // false: StartTransaction finds no terminal
    int cardEnquiryResult = 0;     // 0 or 2 read the card; anything else is an invalid card
    int authoriseResult = 0;       // 0 authorises
    int responseCode = 1;          // 1 accepted, 2 declined, 3 cancelled, 4 invalid card
    QString schemeName = QStringLiteral("Visa");
    QString panFirst6Digits = QStringLiteral("476173");
    QString panLast4Digits = QStringLiteral("0119");
    QString authorisationCode = QStringLiteral("084512");
    QString merchantNo = QStringLiteral("21234567");
    QString terminalId = QStringLiteral("22446688");
    QString dccCurrencyCode;
    int customerVerification = 1;  // 1 PIN verified
    int dataEntryMethod = 1;       // 1 chip
    int cardEnquiryDelayMs = 0;    // how long the customer takes to present the card
    int authoriseDelayMs = 0;      // how long the acquirer takes to answer
    int choiceTimeoutMs = 120000;  // interactive: no choice within this time removes the card
    QString failingCall;           // the member of this name fails with an error result
    std::vector<TPinPadStatus> statusMessages;
};

// A reader's own settings in the PIN pad file, offered every setting (section in lower case)
// before the [PinPad] section is read: true when it took the setting. Raise through at.fail.
using TOwnPinPadSetting = std::function<bool(const QString& section, const TSettingLine& at,
                                             const QString& key, const QString& value)>;

// Reads a PIN pad file: its [PinPad] section, and what own takes; other sections are skipped.
// A key, value or file that cannot be read raises std::runtime_error naming the file and the
// line.
TPinPadConfig ReadPinPadConfig(const QString& path, const TOwnPinPadSetting& own = {});
// The same from a file's text; name stands for the file in the messages.
TPinPadConfig ReadPinPadText(const QString& text, const QString& name,
                             const TOwnPinPadSetting& own = {});
// A file with every key, its default and what it does, for a developer's PinPad.ini with the
// given terminal value.
QString DefaultPinPadFile(const QString& terminal = QStringLiteral("simulator"));
// dataFolder + "PinPad.ini". The kiosk never writes it: with no file, no terminal is chosen and
// card payments are unavailable, so a simulator never takes a shop's payments by accident. A
// terminal service is chosen only with the link's secret (TerminalSecretPath): without one
// that can be read, the kiosk logs why and takes no card, so no request leaves unauthenticated.
TPinPadConfig LoadPinPadConfig(const QString& dataFolder);

// ---- The link's secret --------------------------------------------------------------------

// The fewest bytes a secret may have.
constexpr qsizetype MinTerminalSecretBytes = 32;

// dataFolder + "Terminal/secret": where the kiosk reads the secret, and kpterminal by default.
QString TerminalSecretPath(const QString& dataFolder);
// The secret: the file's content without surrounding white space. Raises std::runtime_error
// when the file cannot be read, is open to other users than its owner or is shorter than
// MinTerminalSecretBytes.
QByteArray ReadTerminalSecret(const QString& path);
// Makes a new random secret with mode 0600 when there is no file, with any missing folders;
// an existing file is kept, so the side holding it still matches. True when it made one.
// Raises std::runtime_error when it cannot.
bool MakeTerminalSecret(const QString& path);
