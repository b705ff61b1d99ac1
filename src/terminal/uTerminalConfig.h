#pragma once

#include <QString>

#include "payment/uPaymentSettings.h"

// Faults the terminal service can play on purpose, so that the kiosk's recovery can be shown:
// each acts on a payment the service has just decided and journalled.
struct TTerminalFaults {
    bool dropAnswer = false;        // close the connection without the answer
    int answerDelayMs = 0;          // wait this long before answering
    bool exitAfterApprove = false;  // end the process right after journalling an approval
};

struct TTerminalConfig {
    TPinPadConfig pad;
    TTerminalFaults faults;
};

// Reads a file in the format of the kiosk's PinPad.ini with the kiosk's own reader: its [PinPad]
// section as the kiosk's simulator reads it, and a [Faults] section of the service's own. The
// kiosk's own key Terminal= (where the kiosk finds the terminal) is not the terminal's business and
// is skipped. A setting that cannot be read raises std::runtime_error naming the file and the line.
TTerminalConfig ReadTerminalConfig(const QString& path);

// The configuration without a file: the kiosk's default PIN pad file.
TTerminalConfig DefaultTerminalConfig();

// --outcome: every payment answered without a person at the pad, as named: "approve",
// "decline", "remove-card" or "no-terminal". Anything else raises std::invalid_argument.
void SetOutcome(TPinPadConfig& pad, const QString& outcome);

// --delay: the customer's time with the card and the acquirer's time to answer, each.
void SetDelay(TPinPadConfig& pad, int ms);
