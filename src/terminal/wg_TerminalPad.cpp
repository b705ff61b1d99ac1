#include "terminal/wg_TerminalPad.h"

#include <QTimer>

namespace {

const QString kReady = QStringLiteral("Ready");
// How long the result of a payment stays on the pad's screen.
constexpr int kResultShownMs = 3000;

}  // namespace

class TTerminalPad::TLoan : public TPinPadDevice {
public:
    explicit TLoan(TTerminalPad& pad) : pad_(pad) {}
    ~TLoan() override { pad_.returned(); }

    void display(const QString& text) override { pad_.window_->display(text); }
    void offerChoice(bool offer) override { pad_.window_->offerChoice(offer); }
    TPinPadChoice choice() const override { return pad_.window_->choice(); }

private:
    TTerminalPad& pad_;
};

TTerminalPad::TTerminalPad() : window_(std::make_unique<TPinPadWindow>()) {
    window_->setWindowTitle(QStringLiteral("Payment terminal"));
    window_->display(kReady);
}

TTerminalPad::~TTerminalPad() = default;

TPinPadDeviceFactory TTerminalPad::factory() {
    return [this]() -> std::unique_ptr<TPinPadDevice> {
        ++loans_;
        window_->raise();  // above the kiosk's screen while the customer needs it
        return std::make_unique<TLoan>(*this);
    };
}

void TTerminalPad::returned() {
    window_->offerChoice(false);
    const int loan = loans_;
    QTimer::singleShot(kResultShownMs, window_.get(), [this, loan] {
        if (loans_ == loan) window_->display(kReady);
    });
}
