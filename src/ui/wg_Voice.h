#pragma once

#include <QObject>
#include <QStringList>

#include "app/uSpeech.h"

class QTextToSpeech;

// The kiosk's voice through Qt TextToSpeech: speech-dispatcher with the offline espeak-ng voice
// where it is installed, else flite, else the engine the system offers.
//
// The engine is handed a text only when it is ready: one given a text while it still speaks, or
// straight after being stopped, can crash in its own thread. So the voice queues the texts,
// stops the engine when told to and waits for it to say it is ready before the next one.
class TVoice : public QObject, public ISpeechSink {
    Q_OBJECT
public:
    explicit TVoice(QObject* parent = nullptr);
    ~TVoice() override;

    // The engine in use; empty when none could start (the kiosk then stays silent).
    QString engine() const;

    void speak(const QString& text) override;
    void stop() override;
    void pause() override;
    void resume() override;

private:
    void stateChanged(int state);
    void sayNext();

    QTextToSpeech* fSpeech = nullptr;
    QStringList fQueue;
    bool fBusy = false;         // a text was handed over and the engine is not ready again
    bool fStopPending = false;  // stopped before the engine began to speak it
};
