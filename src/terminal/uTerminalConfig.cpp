#include "terminal/uTerminalConfig.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTextStream>
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

// The PIN pad's reader sees the file with the lines that are not its own blanked, so that the
// line numbers of its messages stay those of the file.
TPinPadConfig ReadPadSection(const QString& path, const QStringList& padLines) {
    QTemporaryFile copy;
    if (!copy.open() || copy.write(padLines.join(u'\n').toUtf8()) < 0 || !copy.flush())
        throw std::runtime_error(
            QStringLiteral("Terminal settings %1 cannot be copied for reading: %2")
                .arg(path, copy.errorString())
                .toStdString());
    try {
        return ReadPinPadConfig(copy.fileName());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(
            QString::fromStdString(e.what()).replace(copy.fileName(), path).toStdString());
    }
}

}  // namespace

TTerminalConfig ReadTerminalConfig(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(QStringLiteral("Terminal settings %1 cannot be read: %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    TTerminalConfig config;
    QStringList padLines;
    QTextStream in(&file);
    QString section;
    for (int line = 1; !in.atEnd(); ++line) {
        const QString raw = in.readLine();
        const QString text = raw.trimmed();
        if (text.startsWith(u'[') && text.endsWith(u']'))
            section = text.mid(1, text.size() - 2).trimmed().toLower();
        const qsizetype equals = text.indexOf(u'=');
        const QString key = text.left(equals).trimmed();
        const bool setting = equals > 0 && !text.startsWith(u';') && !text.startsWith(u'#');
        if (section == u"faults" && setting) {
            ApplyFault(config.faults, {QStringLiteral("Terminal settings"), path, line}, key,
                       text.mid(equals + 1).trimmed());
            padLines << QString();
        } else if (section == u"pinpad" && setting &&
                   key.compare(u"Terminal", Qt::CaseInsensitive) == 0) {
            padLines << QString();
        } else {
            padLines << raw;
        }
    }
    config.pad = ReadPadSection(path, padLines);
    return config;
}

TTerminalConfig DefaultTerminalConfig() {
    TTerminalConfig config;
    config.pad =
        ReadPadSection(QStringLiteral("(default settings)"), DefaultPinPadFile().split(u'\n'));
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
