#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "app/uSpeech.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "sale/fm_getQuantity.h"
#include "sale/fra_itemkey.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_KeypadNavigation.h"
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

// The main screen with its keyboard, its screen reading into a recorder, and two key groups
// on the search page; the simulated terminal answers by itself, showing the PIN masked as it is
// typed.
class KeyboardSaleTest : public MainScreenFixture {
protected:
    KeyboardSaleTest() {
        exec("insert into TBL_PRODUCT_GROUPS values (11, 'Hot Drinks', '', 1, 16777215, 3355443)");
        exec("insert into TBL_PRODUCT_GROUPS values (12, 'Bakery', '', 2, 0, 13693183)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, BCOLOUR, DEPT_ID, "
            "VAT_RATE) values (200, 'Croissant', 1.8, 12, 1, 16777215, 1, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, BCOLOUR, DEPT_ID, "
            "VAT_RATE) values (201, 'Scone', 2.1, 12, 2, 16777215, 1, 20)");
        QFile ini(dmMain->DataFolder + "PinPad.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(
            "[PinPad]\nTerminal=simulator\nInteractive=false\nCardEnquiryDelayMs=1500\n"
            "AuthoriseDelayMs=200\nStatus=0 Enter your PIN\nStatus=250 PIN: *\n"
            "Status=500 PIN: **\nStatus=750 PIN: ***\nStatus=1000 PIN: ****\n"
            "Status=1400 Authorising, please wait\n");
        TSpeaker::instance().setSink(&spoken);
    }
    ~KeyboardSaleTest() override {
        TAccessModes::instance().endOfSale();
        TSpeaker::instance().setSink(nullptr);
    }

    // Where a key of the keyboard goes: the focused widget of the dialog on top, else of the
    // main window.
    QWidget* keyTarget() {
        QWidget* window = QApplication::activeModalWidget();
        if (!window) window = &screen();
        return window->focusWidget() ? window->focusWidget() : window;
    }
    void press(int key, const QString& text = {}) {
        SendKey(keyTarget(), key, text);
        QCoreApplication::sendPostedEvents();
    }
    // The scanner types into whatever has the focus.
    void scanCode(const QString& code) { TypeCode(keyTarget(), code); }
    // Presses key until the focused widget is the one wanted; false when it never is.
    bool moveTo(const std::function<bool(QWidget*)>& wanted, int key = Qt::Key_Tab) {
        for (int presses = 0; presses < 80; ++presses) {
            if (QWidget* focused = keyTarget(); focused && wanted(focused)) return true;
            press(key);
        }
        return false;
    }
    bool moveToNamed(const QString& name, int key = Qt::Key_Tab) {
        return moveTo([&](QWidget* w) { return w->objectName() == name; }, key);
    }
    bool moveToKeyCaption(const QString& caption, int key) {
        return moveTo(
            [&](QWidget* w) {
                auto* itemKey = qobject_cast<TfraItemKey*>(w);
                auto* label = itemKey ? itemKey->findChild<QLabel*>("Label1") : nullptr;
                return label && label->text() == caption;
            },
            key);
    }
    bool said(const QString& text) const { return spoken.texts().contains(text); }
    std::string allSaid() const { return spoken.texts().join(" | ").toStdString(); }

    TKeypadNavigator navigator;
    TScreenSpeech reading;
    TSpeechRecorder spoken;
};

TEST_F(KeyboardSaleTest, AWholeSaleIsBoughtAndPaidFromTheKeyboardAloneAndHeard) {
    const MouseCounter mouse;
    screen().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen()));
    press(Qt::Key_F2);
    ASSERT_TRUE(TAccessModes::instance().speech());
    EXPECT_TRUE(said("Scan a product or use the buttons below")) << allSaid();

    scanCode(Crisps);
    EXPECT_TRUE(said("Crisps Salt & Vinegar, quantity 1, 1.50. Sub-total 1.50, 1 item."))
        << allSaid();

    ASSERT_TRUE(moveToNamed("cmLookup"));
    EXPECT_EQ(spoken.texts().last().toStdString(), "Find, button");
    press(Qt::Key_Return);
    EXPECT_EQ(page(), "tsFind");

    ASSERT_TRUE(moveToKeyCaption("Bakery", Qt::Key_Right)) << allSaid();
    press(Qt::Key_Return);
    ASSERT_TRUE(moveToKeyCaption("Scone", Qt::Key_Right)) << allSaid();
    ModalScript script(20000);
    script.on<TfmGetQuantity>([this](TfmGetQuantity&) {
        press(Qt::Key_2, "2");
        press(Qt::Key_Return, "\r");
    });
    press(Qt::Key_Return);
    EXPECT_TRUE(said("Quantity 2")) << allSaid();
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_TRUE(said("Scone, quantity 2, 4.20. Sub-total 5.70, 3 items.")) << allSaid();

    ASSERT_TRUE(moveToNamed("cmFinishAndPay"));
    press(Qt::Key_Return);
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_TRUE(said("Amount due 5.70.")) << allSaid();

    ASSERT_TRUE(moveToNamed("cmMOPChipAndPIN"));
    // The receipt question: hear the receipt first, then no printed one.
    script.on<TMessageForm>([this](TMessageForm&) {
        ASSERT_TRUE(moveTo([](QWidget* w) {
            return w->accessibleName() == "Hear Receipt" || w->property("text") == "&Hear Receipt";
        }));
        press(Qt::Key_Return);
    });
    script.on<TMessageForm>([this](TMessageForm&) {
        ASSERT_TRUE(moveTo([](QWidget* w) { return w->property("text") == "&No"; }));
        press(Qt::Key_Return);
    });
    press(Qt::Key_Return);

    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.rejected(), 0);
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "1");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_FALSE(TAccessModes::instance().speech()) << "speech ends with the sale";
    EXPECT_TRUE(said("Payment Success. Thank you for your purchase")) << allSaid();
    EXPECT_TRUE(
        said("Your receipt. Crisps Salt & Vinegar, 1.50. Scone. 2 at 2.10, 4.20. "
             "SUB-TOTAL, 5.70. Total 5.70. Paid by card 5.70."))
        << allSaid();
    EXPECT_TRUE(spoken.texts().filter("Digit entered.").size() >= 1) << allSaid();
    for (const QString& text : spoken.texts())
        EXPECT_FALSE(text.contains(u'*')) << "the PIN's mask was read: " << text.toStdString();
    EXPECT_EQ(mouse.presses, 0);
}

}  // namespace
