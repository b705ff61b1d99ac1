#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "payment/uPaymentClient.h"
#include "payment/uPaymentSettings.h"

// A simulated card terminal standing in for the provider's client: it answers each step of a
// transaction as its configuration (uPaymentSettings) says, or, in interactive mode, as a person
// chooses on the virtual PIN pad. The kiosk reads data/PinPad.ini at the start of every payment,
// so an edited file takes effect with the next customer.

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
