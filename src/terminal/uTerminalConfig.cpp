#include "terminal/uTerminalConfig.h"

#include <stdexcept>

#include "payment/uSettingLine.h"

namespace {

void ApplyFault(TTerminalFaults& faults, const TSettingLine& at, const QString& key,
                const QString& value) {
    const QString k = key.toLower();
    if (k == u"dropanswer") {
        faults.dropAnswer = at.toBool(key, value);
    } else if (k == u"exitafterapprove") {
        faults.exitAfterApprove = at.toBool(key, value);
    } else if (k == u"answerdelayms") {
        bool ok = false;
        faults.answerDelayMs = value.toInt(&ok);
        if (!ok || faults.answerDelayMs < 0)
            at.fail(QStringLiteral("%1 must be a whole number of milliseconds, not \"%2\"")
                        .arg(key, value));
    } else {
        at.fail(QStringLiteral("unknown fault \"%1\"").arg(key));
    }
}

// The service's own settings of the PIN pad file: its [Faults], and the kiosk's key Terminal=,
// which is not the terminal's business.
TOwnPinPadSetting FaultsInto(TTerminalFaults& faults) {
    return [&faults](const QString& section, const TSettingLine& at, const QString& key,
                     const QString& value) {
        if (section == u"faults") {
            ApplyFault(faults, at, key, value);
            return true;
        }
        return section == u"pinpad" && key.compare(u"Terminal", Qt::CaseInsensitive) == 0;
    };
}

}  // namespace

TTerminalConfig ReadTerminalConfig(const QString& path) {
    TTerminalConfig config;
    config.pad = ReadPinPadConfig(path, FaultsInto(config.faults));
    return config;
}

TTerminalConfig DefaultTerminalConfig() {
    TTerminalConfig config;
    config.pad = ReadPinPadText(DefaultPinPadFile(), QStringLiteral("(default settings)"),
                                FaultsInto(config.faults));
    return config;
}

void SetOutcome(TPinPadConfig& pad, const QString& outcome) {
    pad.interactive = false;
    pad.connected = true;
    pad.cardEnquiryResult = 0;
    pad.authoriseResult = 0;
    pad.failingCall.clear();
    if (outcome == u"approve")
        pad.responseCode = 1;
    else if (outcome == u"decline")
        pad.responseCode = 2;
    else if (outcome == u"remove-card")
        pad.responseCode = 3;
    else if (outcome == u"no-terminal")
        pad.connected = false;
    else
        throw std::invalid_argument(
            QStringLiteral("--outcome must be approve, decline, remove-card or no-terminal, "
                           "not \"%1\"")
                .arg(outcome)
                .toStdString());
}

void SetDelay(TPinPadConfig& pad, int ms) {
    pad.cardEnquiryDelayMs = ms;
    pad.authoriseDelayMs = ms;
}
