#pragma once

#include <QObject>
#include <QStringList>

#include "app/uSpeech.h"

class QTextToSpeech;

// The kiosk's voice through Qt TextToSpeech, on the offline flite voice where it is installed
// (the engine the system offers otherwise). The engine says one text at a time; the voice
// queues the rest and goes on when a text has been said.
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
    void sayNext();

    QTextToSpeech* fSpeech = nullptr;
    QStringList fQueue;
    bool fSaying = false;
};
