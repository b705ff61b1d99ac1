#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "app/uSpeech.h"
#include "kiosk/KeypadFixture.h"
#include "kiosk/KioskInput.h"
#include "sale/fm_getQuantity.h"
#include "sale/fra_itemkey.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_ScreenSpeech.h"

namespace {

// Counts the mouse presses of the whole application.
class MouseCounter : public QObject {
public:
    MouseCounter() { qApp->installEventFilter(this); }
    ~MouseCounter() override { qApp->removeEventFilter(this); }
    int presses = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) ++presses;
        return QObject::eventFilter(watched, event);
    }
};

// The keypad's main screen with its screen reading into a recorder; the simulated terminal
// answers by itself, showing the PIN masked as it is typed.
class KeyboardSaleTest : public KeypadFixture {
protected:
    KeyboardSaleTest() {
        terminal(
            "CardEnquiryDelayMs=1500\nAuthoriseDelayMs=200\nStatus=0 Enter your PIN\n"
            "Status=250 PIN: *\nStatus=500 PIN: **\nStatus=750 PIN: ***\n"
            "Status=1000 PIN: ****\nStatus=1400 Authorising, please wait\n");
        TSpeaker::instance().setSink(&spoken);
    }
    ~KeyboardSaleTest() override {
        TAccessModes::instance().endOfSale();
        TSpeaker::instance().setSink(nullptr);
    }

    // Presses code until the focused widget is the one wanted; false when it never is.
    bool moveTo(const std::function<bool(QWidget*)>& wanted, int code = Qt::Key_Tab) {
        for (int presses = 0; presses < 80; ++presses) {
            if (QWidget* focus = keyTarget(); focus && wanted(focus)) return true;
            key(code);
        }
        return false;
    }
    bool moveToKeyCaption(const QString& caption, int code) {
        return moveTo(
            [&](QWidget* w) {
                auto* itemKey = qobject_cast<TfraItemKey*>(w);
                auto* label = itemKey ? itemKey->findChild<QLabel*>("Label1") : nullptr;
                return label && label->text() == caption;
            },
            code);
    }
    bool said(const QString& text) const { return spoken.texts().contains(text); }
    std::string allSaid() const { return spoken.texts().join(" | ").toStdString(); }

    TScreenSpeech reading;
    TSpeechRecorder spoken;
};

TEST_F(KeyboardSaleTest, AWholeSaleIsBoughtAndPaidFromTheKeyboardAloneAndHeard) {
    const MouseCounter mouse;
    screen().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen()));
    key(Qt::Key_F2);
    ASSERT_TRUE(TAccessModes::instance().speech());
    EXPECT_TRUE(said("Scan a product or use the buttons below")) << allSaid();

    typeCode(Crisps);
    EXPECT_TRUE(said("Crisps Salt & Vinegar, quantity 1, 1.50. Sub-total 1.50, 1 item."))
        << allSaid();

    ASSERT_TRUE(tabTo("cmLookup"));
    EXPECT_EQ(spoken.texts().last().toStdString(), "Find, button");
    key(Qt::Key_Return);
    EXPECT_EQ(page(), "tsFind");

    ASSERT_TRUE(moveToKeyCaption("Bakery", Qt::Key_Right)) << allSaid();
    key(Qt::Key_Return);
    ASSERT_TRUE(moveToKeyCaption("Scone", Qt::Key_Right)) << allSaid();
    ModalScript script(20000);
    script.on<TfmGetQuantity>([this](TfmGetQuantity&) {
        key(Qt::Key_2);
        key(Qt::Key_Return);
    });
    key(Qt::Key_Return);
    EXPECT_TRUE(said("Quantity 2")) << allSaid();
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_TRUE(said("Scone, quantity 2, 3.60. Sub-total 5.10, 3 items.")) << allSaid();

    ASSERT_TRUE(tabTo("cmFinishAndPay"));
    key(Qt::Key_Return);
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_TRUE(said("Amount due 5.10.")) << allSaid();

    ASSERT_TRUE(tabTo("cmMOPChipAndPIN"));
    // The receipt question: hear the receipt first, then no printed one.
    script.on<TMessageForm>([this](TMessageForm&) {
        ASSERT_TRUE(moveTo([](QWidget* w) {
            return w->accessibleName() == "Hear Receipt" || w->property("text") == "&Hear Receipt";
        }));
        key(Qt::Key_Return);
    });
    script.on<TMessageForm>([this](TMessageForm&) {
        ASSERT_TRUE(moveTo([](QWidget* w) { return w->property("text") == "&No"; }));
        key(Qt::Key_Return);
    });
    key(Qt::Key_Return);

    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.rejected(), 0);
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "1");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_FALSE(TAccessModes::instance().speech()) << "speech ends with the sale";
    EXPECT_TRUE(said("Payment Success. Thank you for your purchase")) << allSaid();
    EXPECT_TRUE(
        said("Your receipt. Crisps Salt & Vinegar, 1.50. Scone. 2 at 1.80, 3.60. "
             "SUB-TOTAL, 5.10. Total 5.10. Paid by card 5.10."))
        << allSaid();
    EXPECT_TRUE(spoken.texts().filter("Digit entered.").size() >= 1) << allSaid();
    for (const QString& text : spoken.texts())
        EXPECT_FALSE(text.contains(u'*')) << "the PIN's mask was read: " << text.toStdString();
    EXPECT_EQ(mouse.presses, 0);
}

}  // namespace
