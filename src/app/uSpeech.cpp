#include "app/uSpeech.h"

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
