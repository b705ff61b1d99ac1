#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "payment/uPaymentClient.h"

// A simulated card terminal standing in for the provider's client: it answers each step of a
// transaction as its configuration file says, or, in interactive mode, as a person chooses on
// the virtual PIN pad. The kiosk reads data/PinPad.ini at the start of every payment, so an
// edited file takes effect with the next customer.

// A prompt of the terminal, shown from atMs milliseconds after the card was presented.
struct TPinPadStatus {
    int atMs = 0;
    QString text;
};

// Which terminal the kiosk pays on: the "Terminal" key of PinPad.ini.
struct TTerminalChoice {
    enum class Kind { None, Simulator, Service };
    Kind kind = Kind::None;  // None: card payments are unavailable
    QString host;            // Service: the terminal service's address
    quint16 port = 0;
};
// "" (none), "simulator", or "host:port". A value of another form raises std::runtime_error.
TTerminalChoice ParseTerminalChoice(const QString& value);

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

// Reads a configuration file. A key, value or file that cannot be read raises
// std::runtime_error naming the file and the line.
TPinPadConfig ReadPinPadConfig(const QString& path);
// A file with every key, its default and what it does, for a developer's PinPad.ini with the
// given terminal value.
QString DefaultPinPadFile(const QString& terminal = QStringLiteral("simulator"));
// dataFolder + "PinPad.ini". The kiosk never writes it: with no file, no terminal is chosen and
// card payments are unavailable, so a simulator never takes a shop's payments by accident.
TPinPadConfig LoadPinPadConfig(const QString& dataFolder);

enum class TPinPadChoice { None, Approve, Decline, RemoveCard, NoTerminal };

// The virtual PIN pad on which a person plays the customer and the acquirer.
class TPinPadDevice {
public:
    virtual ~TPinPadDevice() = default;
    // The pad's own screen.
    virtual void display(const QString& text) = 0;
    // Offers the outcome buttons, or takes them away again.
    virtual void offerChoice(bool offer) = 0;
    // The button pressed since the choice was offered; None while nobody has pressed one.
    virtual TPinPadChoice choice() const = 0;
};
// Opens the virtual PIN pad for one transaction; it closes when the object is destroyed.
using TPinPadDeviceFactory = std::function<std::unique_ptr<TPinPadDevice>()>;

class TPinPadSimulator : public TPaymentClient {
public:
    // openDevice: the virtual PIN pad, needed in interactive mode only. wait: lets the given
    // milliseconds pass; the kiosk's keeps its screens alive meanwhile (the default sleeps).
    explicit TPinPadSimulator(TPinPadConfig config, TPinPadDeviceFactory openDevice = {},
                              std::function<void(int ms)> wait = {});

    std::unique_ptr<TillInformation> CreateTillInformation() override;
    std::unique_ptr<TransactionInfo> CreateTransactionInfo() override;
    std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() override;
    // Its journal lives as long as the object: each simulator has an identity of its own.
    TTerminalIdentity Identify() override;
    TTerminalStatus TransactionStatus(const QString& reference) override;
    void Abort(const QString& reference) override;
    bool Reversal(const QString& reference) override;

    const TPinPadConfig& config() const { return config_; }
    // The settings of the next transaction (the simulator keeps what it decided before).
    void setConfig(TPinPadConfig config) { config_ = std::move(config); }
    // Every call the simulator's objects received, in order, e.g. "CardEnquiry(0, 1012, 1)"
    // or "MerchantName=Glenbeg".
    const QStringList& calls() const { return calls_; }

private:
    friend class TSimTransactionHook;
    friend class TSimTillInformation;
    void record(const QString& call);
    // What the simulated terminal decided about a reference, as its own journal would keep it.
    struct Decision {
        TTerminalStatus::State state;
        int amount;
        std::shared_ptr<const TransactionInfo> info;
    };
    void decide(const QString& reference, Decision decision);
    // Raises the configured error result when call is the failing member.
    void failIfConfigured(const QString& call) const;

    TPinPadConfig config_;
    QString journalId_;
    TPinPadDeviceFactory openDevice_;
    std::function<void(int ms)> wait_;
    QStringList calls_;
    std::map<QString, Decision> decisions_;
    // References whose payment was asked to stop while it ran: its waits end and the customer
    // counts as having removed the card.
    std::set<QString> aborted_;
};
