#include "ui/wg_Voice.h"

#include <QTextToSpeech>

#include "app/uLog.h"

namespace {

const QString PreferredEngine = QStringLiteral("flite");

QTextToSpeech* StartEngine(QObject* parent) {
    const QStringList engines = QTextToSpeech::availableEngines();
    auto* speech = engines.contains(PreferredEngine) ? new QTextToSpeech(PreferredEngine, parent)
                                                     : new QTextToSpeech(parent);
    if (speech->state() == QTextToSpeech::Error) {
        WriteLog(QStringLiteral("No voice: the speech engine did not start (%1)")
                     .arg(speech->errorString()),
                 0);
    }
    return speech;
}

}  // namespace

TVoice::TVoice(QObject* parent) : QObject(parent), fSpeech(StartEngine(this)) {
    connect(fSpeech, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
        if (state == QTextToSpeech::Ready || state == QTextToSpeech::Error) {
            fSaying = false;
            sayNext();
        }
    });
}

TVoice::~TVoice() = default;

QString TVoice::engine() const {
    return fSpeech->state() == QTextToSpeech::Error ? QString() : fSpeech->engine();
}

void TVoice::speak(const QString& text) {
    fQueue.append(text);
    sayNext();
}

void TVoice::sayNext() {
    if (fSaying || fQueue.isEmpty() || fSpeech->state() == QTextToSpeech::Paused) return;
    fSaying = true;
    fSpeech->say(fQueue.takeFirst());
}

void TVoice::stop() {
    fQueue.clear();
    fSpeech->stop();
    fSaying = false;
}

void TVoice::pause() {
    fSpeech->pause();
}

void TVoice::resume() {
    fSpeech->resume();
}
