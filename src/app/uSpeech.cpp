#include "app/uSpeech.h"

#include <algorithm>

TSpeaker& TSpeaker::instance() {
    static TSpeaker speaker;
    return speaker;
}

void TSpeaker::setSink(ISpeechSink* sink) {
    if (fSink && fSink != sink) fSink->stop();
    fSink = sink;
    fPaused = false;
}

void TSpeaker::setEnabled(bool on) {
    if (fEnabled == on) return;
    if (!on) interrupt();
    fEnabled = on;
    if (!on) fLast.clear();
}

QString TSpeaker::errorText(const QString& text) {
    return QStringLiteral("Error. ") + text;
}

void TSpeaker::say(const QString& text, TSpeechKind kind) {
    if (!fEnabled || text.trimmed().isEmpty()) return;
    fLast = kind == TSpeechKind::Error ? errorText(text) : text;
    if (fSink) fSink->speak(fLast);
}

void TSpeaker::interrupt() {
    if (!fEnabled || !fSink) return;
    fSink->stop();
    fPaused = false;
}

void TSpeaker::repeat() {
    if (!fEnabled || fLast.isEmpty()) return;
    interrupt();
    if (fSink) fSink->speak(fLast);
}

void TSpeaker::togglePause() {
    if (!fEnabled || !fSink) return;
    fPaused = !fPaused;
    if (fPaused)
        fSink->pause();
    else
        fSink->resume();
}

namespace {

bool IsPinMask(QChar c) {
    return c == u'*' || c == QChar(0x2022) || c == QChar(0x25CF);
}

qsizetype MaskLength(const QString& text) {
    return std::count_if(text.begin(), text.end(), IsPinMask);
}

QString WithoutMask(QString text) {
    text.removeIf(IsPinMask);
    return text.simplified();
}

}  // namespace

QString SpokenTerminalStatus(const QString& before, const QString& now) {
    QStringList spoken;
    const QString words = WithoutMask(now);
    if (words != WithoutMask(before)) spoken << words;
    const qsizetype grown = MaskLength(now) - MaskLength(before);
    if (grown > 0)
        spoken << QStringLiteral("Digit entered.");
    else if (grown < 0 && MaskLength(now) > 0)
        spoken << QStringLiteral("Digit removed.");
    return spoken.join(u' ');
}
