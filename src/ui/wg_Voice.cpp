#include "ui/wg_Voice.h"

#include <QEventLoop>
#include <QTextToSpeech>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/uLog.h"

namespace {

// speech-dispatcher speaks in a process of its own (espeak-ng's voice); Qt's in-process flite
// engine stops with "Audio streaming error" inside the kiosk and stays the fallback only.
const QStringList PreferredEngines{QStringLiteral("speechd"), QStringLiteral("flite")};
// How long the end of the kiosk waits for the engine to fall silent.
constexpr int SilenceAtExitMs = 2000;

QTextToSpeech* StartEngine(QObject* parent) {
    const QStringList engines = QTextToSpeech::availableEngines();
    const auto preferred = std::find_if(PreferredEngines.begin(), PreferredEngines.end(),
                                        [&](const QString& e) { return engines.contains(e); });
    auto* speech = preferred != PreferredEngines.end() ? new QTextToSpeech(*preferred, parent)
                                                       : new QTextToSpeech(parent);
    if (speech->state() == QTextToSpeech::Error)
        WriteLog(QStringLiteral("No voice: the speech engine did not start (%1)")
                     .arg(speech->errorString()),
                 0);
    else
        WriteLog(QStringLiteral("Voice: ") + speech->engine(), 1);
    return speech;
}

}  // namespace

TVoice::TVoice(QObject* parent) : QObject(parent), fSpeech(StartEngine(this)) {
    connect(fSpeech, &QTextToSpeech::stateChanged, this,
            [this](QTextToSpeech::State state) { stateChanged(state); });
}

// An engine destroyed in the middle of a text can crash in its own thread.
TVoice::~TVoice() {
    fQueue.clear();
    if (!fBusy) return;
    QEventLoop silence;
    connect(fSpeech, &QTextToSpeech::stateChanged, &silence, [&silence](QTextToSpeech::State s) {
        if (s == QTextToSpeech::Ready || s == QTextToSpeech::Error) silence.quit();
    });
    QTimer::singleShot(SilenceAtExitMs, &silence, &QEventLoop::quit);
    stop();
    if (fBusy) silence.exec();
}

QString TVoice::engine() const {
    return fSpeech->state() == QTextToSpeech::Error ? QString() : fSpeech->engine();
}

void TVoice::speak(const QString& text) {
    fQueue.append(text);
    sayNext();
}

void TVoice::stateChanged(int state) {
    switch (state) {
        case QTextToSpeech::Speaking:
            if (std::exchange(fStopPending, false)) fSpeech->stop();
            break;
        case QTextToSpeech::Ready:
        case QTextToSpeech::Error:
            fBusy = false;
            fStopPending = false;
            sayNext();
            break;
        default:
            break;
    }
}

void TVoice::sayNext() {
    if (fBusy || fQueue.isEmpty() || fSpeech->state() != QTextToSpeech::Ready) return;
    fBusy = true;
    fSpeech->say(fQueue.takeFirst());
}

void TVoice::stop() {
    fQueue.clear();
    const QTextToSpeech::State state = fSpeech->state();
    if (state == QTextToSpeech::Speaking || state == QTextToSpeech::Paused)
        fSpeech->stop();
    else if (fBusy)
        fStopPending = true;
}

void TVoice::pause() {
    if (fSpeech->state() == QTextToSpeech::Speaking) fSpeech->pause();
}

void TVoice::resume() {
    if (fSpeech->state() == QTextToSpeech::Paused) fSpeech->resume();
}
