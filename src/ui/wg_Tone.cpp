#include "ui/wg_Tone.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QtMath>

namespace {

constexpr int SampleRate = 22050;
constexpr double Pitch = 880.0;
constexpr int BeepMs = 180;
constexpr int GapMs = 120;

std::function<void()>& TonePlayer() {
    static std::function<void()> player;
    return player;
}

// Two beeps of a sine at Pitch, softened at their ends so they do not click.
QByteArray CallToneSamples() {
    const int beep = SampleRate * BeepMs / 1000;
    const int gap = SampleRate * GapMs / 1000;
    QByteArray data;
    data.reserve((2 * beep + gap) * int(sizeof(qint16)));
    const auto append = [&data](qint16 sample) {
        data.append(reinterpret_cast<const char*>(&sample), sizeof sample);
    };
    for (int part = 0; part < 2; ++part) {
        for (int i = 0; i < beep; ++i) {
            const double envelope = std::min({1.0, i / 200.0, (beep - i) / 200.0});
            append(qint16(12000 * envelope * qSin(2 * M_PI * Pitch * i / SampleRate)));
        }
        if (part == 0)
            for (int i = 0; i < gap; ++i) append(0);
    }
    return data;
}

// Plays the samples and frees itself when the output has had them all or cannot play.
class TTonePlayback : public QObject {
public:
    TTonePlayback() : fSamples(CallToneSamples()) {
        QAudioFormat format;
        format.setSampleRate(SampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        fSink = new QAudioSink(QMediaDevices::defaultAudioOutput(), format, this);
        fBuffer.setBuffer(&fSamples);
        fBuffer.open(QIODevice::ReadOnly);
        connect(fSink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (state == QAudio::IdleState || state == QAudio::StoppedState) deleteLater();
        });
        fSink->start(&fBuffer);
        if (fSink->error() != QAudio::NoError) deleteLater();
    }

private:
    QByteArray fSamples;
    QBuffer fBuffer;
    QAudioSink* fSink = nullptr;
};

}  // namespace

void SoundCallTone() {
    if (TonePlayer()) {
        TonePlayer()();
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) return;
    new TTonePlayback;
}

void SetTonePlayer(std::function<void()> player) {
    TonePlayer() = std::move(player);
}
