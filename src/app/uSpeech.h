#pragma once

#include <QString>
#include <QStringList>

// Where spoken text goes: the speech engine on a kiosk, a list of texts in a test.
class ISpeechSink {
public:
    virtual ~ISpeechSink() = default;
    // Queues text after what is being said.
    virtual void speak(const QString& text) = 0;
    // Drops what is being said and everything queued.
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
};

// How a text is spoken: errors are announced as errors, so a customer who cannot see the screen
// tells a refusal from a prompt.
enum class TSpeechKind { Prompt, Error };

// The kiosk's voice. Silent until speech is switched on; then every text the screens hand it
// goes to the sink. The customer's own action cuts off what is being said (interrupt), the
// repeat key says the last text again, the pause key holds and resumes it.
//
// Texts that must never be heard (a PIN digit) are not handed to the speaker at all: the PIN
// pad says "digit entered".
class TSpeaker {
public:
    static TSpeaker& instance();

    // The sink texts go to; nullptr makes the speaker silent. The caller keeps the sink alive
    // until it is replaced.
    void setSink(ISpeechSink* sink);
    ISpeechSink* sink() const { return fSink; }

    void setEnabled(bool on);
    bool enabled() const { return fEnabled; }

    // Says text after what is being said (nothing when speech is off or text is empty).
    void say(const QString& text, TSpeechKind kind = TSpeechKind::Prompt);
    // The customer acted: what is being said stops, and a paused voice is paused no longer.
    void interrupt();
    // Says the last text again, from its start.
    void repeat();
    // Holds what is being said, or goes on with it.
    void togglePause();

    // The last text said, as it was spoken (an error with its announcement).
    QString lastText() const { return fLast; }
    bool paused() const { return fPaused; }

    // The words an error starts with.
    static QString errorText(const QString& text);

private:
    TSpeaker() = default;

    ISpeechSink* fSink = nullptr;
    bool fEnabled = false;
    bool fPaused = false;
    QString fLast;
};

// A prompt of the payment terminal as it is spoken when it follows the one before. A terminal
// shows the PIN masked as it is typed ("PIN: ****"); the mask is never read out: its growing
// says "Digit entered.", its shrinking "Digit removed.", and the rest of the prompt is read
// when it changed.
QString SpokenTerminalStatus(const QString& before, const QString& now);

// A sink that keeps what it is given, for tests and for a kiosk without a voice.
class TSpeechRecorder : public ISpeechSink {
public:
    void speak(const QString& text) override { fTexts.append(text); }
    void stop() override { ++fStops; }
    void pause() override {}
    void resume() override {}

    const QStringList& texts() const { return fTexts; }
    void clear() { fTexts.clear(); }
    int stops() const { return fStops; }

private:
    QStringList fTexts;
    int fStops = 0;
};
