#pragma once

#include <QPointer>
#include <QWidget>

// The one place where the kiosk lets the screens run in the middle of its own work. While a
// scope lives, the window it was given takes no input (a modal dialog may keep the input
// instead), and active() is true: the handlers that the screens' timers and queued touches
// reach check it and start nothing of their own (no payment, no settlement, no maintenance).
// What does run meanwhile is painting, timers, the network and the input of the windows left
// enabled (the payment dialog, the virtual PIN pad).
//
// Every wait ends at once when a stop signal arrives, so a payment stops in time.
class TBusyScope {
public:
    // blockInput: the window that takes no input while the scope lives; it has its input and
    // the keyboard focus back afterwards. nullptr: the scope only marks the kiosk busy.
    explicit TBusyScope(QWidget* blockInput = nullptr);
    ~TBusyScope();
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

    // True while any scope lives.
    static bool active();

    // Lets ms pass on a local event loop with the screens alive; ends early on a stop request.
    static void wait(int ms);
    // Lets the screens catch up on what is pending, in the middle of long work or before a
    // modal box opens.
    static void keepAlive();

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
    bool wasEnabled_ = false;
};
