#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/uSpeech.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "payment/fm_ccPayment.h"
#include "sale/fm_Info.h"
#include "support/LogReader.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_ScreenSpeech.h"
#include "ui/wg_Tone.h"

namespace {

// The main screen with the kiosk's screen reading, speaking into a recorder.
class SpeechScreenTest : public MainScreenFixture {
protected:
    SpeechScreenTest() { TSpeaker::instance().setSink(&spoken); }
    ~SpeechScreenTest() override {
        TAccessModes::instance().endOfSale();
        TSpeaker::instance().setSink(nullptr);
        SetTonePlayer({});
    }

    // Speech switched on by its key on the bottom bar; what it says from then on is recorded.
    void speechOn() {
        screen();
        Touch(widget("cmSpeech"));
        ASSERT_TRUE(TAccessModes::instance().speech());
    }
    QStringList said() const { return spoken.texts(); }

    TScreenSpeech reading;
    TSpeechRecorder spoken;
};

TEST_F(SpeechScreenTest, ThePageTheLinesAndTheAmountDueAreSpokenAsTheyChange) {
    speechOn();
    EXPECT_TRUE(said().first().startsWith("Speech on."));
    EXPECT_EQ(said().last(), "Scan a product or use the buttons below");

    spoken.clear();
    scan(Crisps);
    EXPECT_TRUE(said().contains("Crisps Salt & Vinegar, quantity 1, 1.50. Sub-total 1.50, 1 item."))
        << said().join(" | ").toStdString();
    scan(Cola);
    EXPECT_TRUE(said().contains("Cola 500ml, quantity 1, 1.25. Sub-total 2.75, 2 items."));

    spoken.clear();
    scan("4006381333931");
    EXPECT_EQ(said().first(), "Error. Barcode Not Found");

    spoken.clear();
    Touch(widget("cmFinishAndPay"));
    EXPECT_EQ(said(), (QStringList{"Choose how to pay", "Amount due 2.75."}));
}

TEST_F(SpeechScreenTest, BoxesAreSpokenWithTheirButtonsAndErrorsAsErrors) {
    speechOn();
    struct Case {
        std::function<void()> show;
        QString expected;
    };
    const Case cases[] = {
        {[] { ShowError("The printer is out of paper"); },
         "Error. The printer is out of paper. Buttons: Ok."},
        {[] { ShowQuestion("Void current transaction"); },
         "Void current transaction. Buttons: Yes, No."},
        {[this] { ShowTimeRestricted(&screen()); },
         "Error. Time Restricted Product. This product cannot be sold at this time Please put the "
         "product aside and continue with your scanning. Buttons: OK, No."},
    };
    for (const Case& c : cases) {
        spoken.clear();
        ModalScript script;
        script.on<QDialog>([](QDialog& box) { box.reject(); });
        c.show();
        // The box is read first; the key that then takes the focus follows it.
        ASSERT_FALSE(said().isEmpty());
        EXPECT_EQ(said().first().toStdString(), c.expected.toStdString());
    }
}

TEST_F(SpeechScreenTest, ThePaymentDialogSpeaksTheTerminalsPromptsButNoDigitOfThePin) {
    speechOn();
    spoken.clear();
    TfmCCPayment dialog(&screen());
    dialog.show();
    for (const char* status : {"Enter your PIN", "PIN: *", "PIN: **", "PIN: ***", "PIN: ****",
                               "PIN OK", "Authorising, please wait"})
        dialog.showStatus(status);
    EXPECT_EQ(said().mid(1), (QStringList{"Enter your PIN", "PIN: Digit entered.", "Digit entered.",
                                          "Digit entered.", "Digit entered.", "PIN OK",
                                          "Authorising, please wait"}));
    dialog.showResult(0, {TPaymentResult::Outcome::NotPaid, {}, QStringLiteral("Card Declined")});
    EXPECT_EQ(said().last(), "Error. Card Declined");
}

TEST_F(SpeechScreenTest, TheModesEndWithTheSale) {
    speechOn();
    Touch(widget("cmLargeText"));
    ASSERT_TRUE(TAccessModes::instance().largeText());
    scan(Crisps);
    scan(Mary);
    answer(Yes);
    Touch(widget("cmVoidTransaction"));
    EXPECT_FALSE(TAccessModes::instance().speech());
    EXPECT_FALSE(TAccessModes::instance().largeText());
    spoken.clear();
    scan(Crisps);
    EXPECT_TRUE(said().isEmpty()) << "the next customer hears nothing unasked";
}

TEST_F(SpeechScreenTest, AssistanceCallsForHelpWithATheShopsCommandATheToneAndALogLine) {
    const QString called = dmMain->DataFolder + "called.txt";
    QFile ini(dmMain->DataFolder + "Assistance.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[Assistance]\nCommand=touch \"" + called + "\"\n").toUtf8());
    ini.close();
    int tones = 0;
    SetTonePlayer([&tones] { ++tones; });
    speechOn();
    spoken.clear();
    const LogReader log;

    QString shown;
    ModalScript script;
    script.on<TfmInfoBox>([&shown](TfmInfoBox& box) {
        shown = box.findChild<QLabel*>("lbMessage")->text();
        box.findChild<QPushButton*>("cmOk")->click();
    });
    Touch(widget("cmAssistance"));

    EXPECT_EQ(shown, "Help is on its way");
    ASSERT_FALSE(said().isEmpty());
    EXPECT_EQ(said().first().toStdString(), "Assistance. Help is on its way. Buttons: OK.");
    EXPECT_EQ(tones, 1);
    EXPECT_TRUE(log.newLines().filter("Assistance called by a customer").size() == 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(called); }, 10000))
        << "the shop's command ran";
}

TEST_F(SpeechScreenTest, AnAssistanceCommandThatCannotStartIsLoggedAndHelpIsStillCalled) {
    QFile ini(dmMain->DataFolder + "Assistance.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Assistance]\nCommand=/nonexistent/shop-bell\nTone=false\n");
    ini.close();
    int tones = 0;
    SetTonePlayer([&tones] { ++tones; });
    const LogReader log;
    ModalScript script;
    script.on<TfmInfoBox>([](TfmInfoBox& box) { box.findChild<QPushButton*>("cmOk")->click(); });
    Touch(widget("cmAssistance"));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(tones, 0);
    EXPECT_EQ(log.newLines().filter("Assistance command could not start").size(), 1);
}

}  // namespace
