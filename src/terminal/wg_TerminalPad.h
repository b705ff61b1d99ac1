#pragma once

#include <memory>

#include "payment/wg_PinPad.h"

// The terminal service's virtual PIN pad: one window for the life of the process, lent to each
// payment as its device. Between payments, once the last result has been read, it says
// "Ready".
class TTerminalPad {
public:
    TTerminalPad();
    ~TTerminalPad();
    TTerminalPad(const TTerminalPad&) = delete;
    TTerminalPad& operator=(const TTerminalPad&) = delete;

    // The device of one payment, as the simulator opens it.
    TPinPadDeviceFactory factory();
    TPinPadWindow& window() { return *window_; }

private:
    class TLoan;
    void returned();

    std::unique_ptr<TPinPadWindow> window_;
    int loans_ = 0;  // payments that had the pad, so a late "Ready" does not cover a new one
};
