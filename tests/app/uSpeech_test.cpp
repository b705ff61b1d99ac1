#include <gtest/gtest.h>

#include "app/uSpeech.h"

namespace {

// The speaker with a recorder for a sink, switched on; left silent and sinkless afterwards.
class SpeakerTest : public ::testing::Test {
protected:
    SpeakerTest() {
        speaker.setSink(&recorder);
        speaker.setEnabled(true);
    }
    ~SpeakerTest() override {
        speaker.setEnabled(false);
        speaker.setSink(nullptr);
    }

    TSpeaker& speaker = TSpeaker::instance();
    TSpeechRecorder recorder;
};

TEST_F(SpeakerTest, SaysPromptsAndAnnouncesErrorsOnlyWhileSpeechIsOn) {
    speaker.say("Scan a product");
    speaker.say("Barcode Not Found", TSpeechKind::Error);
    speaker.say("  ");
    speaker.setEnabled(false);
    speaker.say("Unheard");
    EXPECT_EQ(recorder.texts(), (QStringList{"Scan a product", "Error. Barcode Not Found"}));
    EXPECT_TRUE(speaker.lastText().isEmpty()) << "a customer after speech ends repeats nothing";
}

TEST_F(SpeakerTest, TheCustomersActionStopsTheVoiceAndRepeatSaysTheLastTextAgain) {
    speaker.say("Card inserted");
    speaker.say("Enter your PIN");
    speaker.interrupt();
    EXPECT_EQ(recorder.stops(), 1);
    speaker.repeat();
    EXPECT_EQ(recorder.stops(), 2) << "a repeat starts the text afresh";
    EXPECT_EQ(recorder.texts().last(), "Enter your PIN");
    speaker.togglePause();
    EXPECT_TRUE(speaker.paused());
    speaker.interrupt();
    EXPECT_FALSE(speaker.paused()) << "acting ends a pause";
}

TEST(SpokenTerminalStatus, ReadsThePromptButNeverTheMaskedPin) {
    struct Case {
        const char* before;
        const char* now;
        const char* spoken;
    };
    const Case cases[] = {
        {"Card inserted", "Enter your PIN", "Enter your PIN"},
        {"Enter your PIN", "PIN: *", "PIN: Digit entered."},
        {"PIN: *", "PIN: **", "Digit entered."},
        {"PIN: ***", "PIN: **", "Digit removed."},
        {"PIN: ****", "PIN OK", "PIN OK"},
        {"Amount 12.50", "Amount 12.50 \u2022\u2022", "Digit entered."},
    };
    for (const Case& c : cases) {
        const QString spoken =
            SpokenTerminalStatus(QString::fromUtf8(c.before), QString::fromUtf8(c.now));
        EXPECT_EQ(spoken, QString::fromUtf8(c.spoken)) << c.before << " -> " << c.now;
        EXPECT_FALSE(spoken.contains(u'*'));
    }
}

}  // namespace
