#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>

#include "app/uSpeech.h"
#include "kiosk/KeypadFixture.h"
#include "payment/fm_ccPayment.h"
#include "payment/fm_receipt.h"
#include "sale/fm_Info.h"
#include "sale/fm_getQuantity.h"
#include "ui/wg_ScaledHost.h"

namespace {

class KeyboardTest : public KeypadFixture {};

// Tab goes round the page's keys in reading order; the ring follows.
TEST_F(KeyboardTest, TabReachesTheKeysOfThePageInReadingOrderWithTheRing) {
    scan(Crisps);  // Pay is enabled
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        key(Qt::Key_Tab);
        EXPECT_TRUE(ringAroundFocus());
        order << focused();
    }
    EXPECT_EQ(order, QStringList({"dbgTransaction", "cmAssistance", "cmSpeech", "cmLargeText",
                                  "cmTopups", "cmLookup", "cmFinishAndPay"}));
    key(Qt::Key_Tab);
    EXPECT_EQ(focused(), "dbgTransaction");  // round again
    key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "cmFinishAndPay");
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "cmLookup");
}

// The customer acts: speech stops, once for each key or touch, but not for repeat and pause.
TEST_F(KeyboardTest, KeysAndTouchesStopTheSpeechButRepeatAndPauseDoNot) {
    TSpeechRecorder sink;
    TSpeaker& speaker = TSpeaker::instance();
    speaker.setSink(&sink);
    speaker.setEnabled(true);
    const auto silent = qScopeGuard([&] {
        speaker.setEnabled(false);
        speaker.setSink(nullptr);
    });
    screen();
    key(Qt::Key_F5);
    key(Qt::Key_F5);
    EXPECT_EQ(sink.stops(), 0);
    key(Qt::Key_Tab);
    EXPECT_EQ(sink.stops(), 1);
    Touch(widget("lbSubTotal"));
    EXPECT_EQ(sink.stops(), 2);
    Touch(widget("cmCloseScreen"));  // a tile, whose caption passes touches on
    EXPECT_EQ(sink.stops(), 3);
}

// A screen smaller than the design shows the window through a scaled view; the ring is drawn
// with it.
TEST_F(KeyboardTest, TheRingShowsThroughTheScaledView) {
    TScaledHost host(screen(), TFmMain::DesignSize);
    host.resize(TFmMain::DesignSize / 2);
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    // The keys reach the window through the view, as the window system sends them.
    for (int i = 0; i < 6; ++i) QTest::keyClick(&host, Qt::Key_Tab);
    ASSERT_EQ(focused(), "cmLookup");
    ASSERT_TRUE(ringAroundFocus());
    const QRect ring = TFocusRing::find(&screen())->geometry();
    const QImage shown = host.grab().toImage();
    // The middle of the ring's top band, at half the size.
    const QPoint band((ring.left() + ring.right()) / 4, (ring.top() + 3) / 2);
    EXPECT_EQ(shown.pixelColor(band), QColor(0xff, 0xd6, 0x00)) << band.x() << "," << band.y();
    // A scan ends with the keyboard on the scan buffer: no key has the focus, no ring shows.
    for (const QChar ch : QString(Cola)) QTest::keyClick(&host, ch.toLatin1());
    QTest::keyClick(&host, Qt::Key_Return);
    EXPECT_EQ(lines(), 1);
    EXPECT_FALSE(TFocusRing::find(&screen())->isVisible());
}

TEST_F(KeyboardTest, ArrowsMoveToTheNearestKeyInTheirDirection) {
    scan(Crisps);
    struct Case {
        const char* from;
        int arrow;
        const char* to;
    };
    const Case cases[] = {
        {"cmAssistance", Qt::Key_Right, "cmSpeech"},
        {"cmSpeech", Qt::Key_Left, "cmAssistance"},
        {"cmLookup", Qt::Key_Right, "cmFinishAndPay"},
        {"cmFinishAndPay", Qt::Key_Up, "dbgTransaction"},
        {"cmAssistance", Qt::Key_Left, "cmAssistance"},  // nothing further left
        {"cmLookup", Qt::Key_Up, "cmFinishAndPay"},      // beside, a little higher
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        ASSERT_TRUE(tabTo(c.from));
        key(c.arrow);
        EXPECT_EQ(focused(), c.to);
        EXPECT_TRUE(ringAroundFocus());
    }
    // From the scan buffer an arrow starts at the first key that is no list.
    widget("ebScanBuffer")->setFocus();
    key(Qt::Key_Down);
    EXPECT_EQ(focused(), "cmAssistance");
}

TEST_F(KeyboardTest, EnterActivatesTheFocusedKeyWhenNoScanIsUnderWay) {
    ASSERT_TRUE(tabTo("cmLookup"));
    key(Qt::Key_Return);
    EXPECT_EQ(page(), "tsFind");
    EXPECT_EQ(lines(), 0);
    EXPECT_EQ(text("lbDefaultText"), "Scan a product or use the buttons below");
}

// Each page's back or cancel key, pressed by Escape.
TEST_F(KeyboardTest, EscapeGoesBackFromEveryPage) {
    const std::vector<std::pair<QString, std::function<void()>>> pages = {
        {"tsFind", [&] { tabTo("cmLookup") ? key(Qt::Key_Return) : void(); }},
        {"tsTopup", [&] { tabTo("cmTopups") ? key(Qt::Key_Enter) : void(); }},
        {"tsMOP",
         [&] {
             typeCode(Crisps);
             if (tabTo("cmFinishAndPay")) key(Qt::Key_Return);
         }},
        {"tsManager", [&] { typeCode(Mary); }},
        {"tsEngineer", [&] { typeCode(kEngineerSetupCode); }},
    };
    for (const auto& [name, open] : pages) {
        SCOPED_TRACE(name.toStdString());
        open();
        ASSERT_EQ(page(), name);
        key(Qt::Key_Escape);
        EXPECT_EQ(page(), "tsDefault");
    }
    key(Qt::Key_Escape);  // the sale page has nothing to go back to
    EXPECT_EQ(page(), "tsDefault");
}

// The scanner types while a key holds the focus: the code reaches the scan buffer, and the
// focus stays where the customer left it until the scan ends.
TEST_F(KeyboardTest, AScanTypedWhileAKeyHasTheFocusSellsTheProduct) {
    ASSERT_TRUE(tabTo("cmTopups"));
    for (const QChar ch : QString(Cola)) {
        QTest::keyClick(keyTarget(), ch.toLatin1());
        ASSERT_EQ(focused(), "cmTopups");
    }
    EXPECT_EQ(buffer(), Cola);
    key(Qt::Key_Return);
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(page(), "tsDefault");  // not the top-up page
    EXPECT_EQ(buffer(), "");
}

TEST_F(KeyboardTest, NavigationKeysInTheMiddleOfAScanDoNotBreakIt) {
    const int navigation[] = {Qt::Key_Tab,  Qt::Key_Right,  Qt::Key_Backtab, Qt::Key_Left,
                              Qt::Key_Down, Qt::Key_Escape, Qt::Key_F4,      Qt::Key_Up};
    const QString code = Crisps;
    for (int i = 0; i < code.size(); ++i) {
        QTest::keyClick(keyTarget(), code.at(i).toLatin1());
        key(navigation[i % std::size(navigation)]);
        ASSERT_EQ(buffer(), code.left(i + 1));
    }
    key(Qt::Key_Return);
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(text("lbScannedProduct"), "Crisps Salt & Vinegar");
}

// Enter with nothing scanned is the focused key's, even after a scan has just ended there.
TEST_F(KeyboardTest, EnterWithAnEmptyBufferActivatesTheKeyNotTheScan) {
    typeCode(Crisps);
    ASSERT_TRUE(tabTo("cmFinishAndPay"));
    key(Qt::Key_Return);
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_EQ(lines(), 1);
    EXPECT_NE(text("lbScannedProduct"), "Barcode Not Found");
}

// Find, a group and a product by arrows and Enter, the quantity by keys.
TEST_F(KeyboardTest, AProductIsFoundAndSoldByKeys) {
    ASSERT_TRUE(tabTo("cmLookup"));
    key(Qt::Key_Return);
    ASSERT_EQ(page(), "tsFind");
    key(Qt::Key_Down);  // the first key: the first group
    auto* group = qobject_cast<TfraItemKey*>(keyTarget());
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(ringAroundFocus());
    key(Qt::Key_Right);
    EXPECT_EQ(keyTarget()->accessibleName(), "Bakery");
    key(Qt::Key_Return);
    // The group's products, the keyboard on the first of them; Escape leaves the page.
    EXPECT_EQ(keyTarget()->accessibleName(), "Scone");
    key(Qt::Key_Escape);
    ASSERT_EQ(page(), "tsDefault");
    ASSERT_TRUE(tabTo("cmLookup"));
    key(Qt::Key_Return);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_Left);
    EXPECT_EQ(keyTarget()->accessibleName(), "Hot Drinks");
    key(Qt::Key_Return);
    // The group's products, the keyboard on the first of them.
    EXPECT_EQ(keyTarget()->accessibleName(), "Diet Cola");
    EXPECT_TRUE(ringAroundFocus());
    key(Qt::Key_Right);
    EXPECT_EQ(keyTarget()->accessibleName(), "Latte");

    ModalScript script;
    QStringList seen;
    script.on<TfmGetQuantity>([&](TfmGetQuantity& dialog) {
        key(Qt::Key_Tab);  // the first key: "+"
        seen << focused();
        seen << (ringAroundFocus() ? "ring" : "no ring");
        seen << (TFocusRing::find(&screen())->isVisible() ? "ring behind" : "none behind");
        key(Qt::Key_Return);
        key(Qt::Key_Return);
        seen << dialog.lbQty->text();
        if (tabTo("cmOK")) key(Qt::Key_Return);
    });
    key(Qt::Key_Return);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(seen, QStringList({"cmPlus", "ring", "none behind", "2"}));
    EXPECT_EQ(select("select PRODUCT || ' x' || cast(SALES_QTY as integer) from TBL_SALES_LINES"),
              "Latte x2");
    EXPECT_EQ(page(), "tsDefault");
}

// Escape in the quantity dialog cancels it; digits typed there, while one of its keys has the
// focus, are its quantity.
TEST_F(KeyboardTest, TheQuantityDialogTakesTypedDigitsAndEscape) {
    ASSERT_TRUE(tabTo("cmLookup"));
    key(Qt::Key_Return);
    key(Qt::Key_Down);
    key(Qt::Key_Return);  // Hot Drinks
    ASSERT_EQ(keyTarget()->accessibleName(), "Diet Cola");
    for (const bool cancel : {true, false}) {
        ModalScript script;
        script.on<TfmGetQuantity>([&](TfmGetQuantity&) {
            key(Qt::Key_Tab);
            QTest::keyClick(keyTarget(), '3');
            key(cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        key(Qt::Key_Return);
        EXPECT_TRUE(script.done());
        EXPECT_EQ(lines(), cancel ? 0 : 1);
    }
    EXPECT_EQ(select("select PRODUCT || ' x' || cast(SALES_QTY as integer) from TBL_SALES_LINES"),
              "Diet Cola x3");
}

// Chip & Pin by keys, then Escape before the terminal has answered: the payment is cancelled
// at the terminal and the sale stays open on the payment page.
TEST_F(KeyboardTest, EscapeCancelsACardPaymentTheTerminalHasNotAnswered) {
    terminal("CardEnquiryDelayMs=60000\nResponseCode=1\n");
    typeCode(Cola);
    ASSERT_TRUE(tabTo("cmFinishAndPay"));
    key(Qt::Key_Return);
    ASSERT_TRUE(tabTo("cmMOPChipAndPIN"));
    ModalScript script(20000);
    script.on<TfmCCPayment>([&](TfmCCPayment&) { key(Qt::Key_Escape); });
    key(Qt::Key_Return);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.rejected(), 0);
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "0");
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
}

// The receipt question answered by keys: Escape is its No, Enter on Yes prints.
TEST_F(KeyboardTest, TheReceiptQuestionIsAnsweredByKeys) {
    SetPrinterDirectory([] { return TPrinterDirectory{}; });
    const auto restore = qScopeGuard([] { SetPrinterDirectory({}); });
    terminal("ResponseCode=1\n");
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        typeCode(Cola);
        ASSERT_TRUE(tabTo("cmFinishAndPay"));
        key(Qt::Key_Return);
        ASSERT_TRUE(tabTo("cmMOPChipAndPIN"));
        ModalScript script(10000);
        script.on<TfmInfoBox>([&](TfmInfoBox&) {
            if (!yes) return key(Qt::Key_Escape);
            if (tabTo("cmOk")) key(Qt::Key_Return);
        });
        key(Qt::Key_Return);
        EXPECT_TRUE(script.done());
        EXPECT_EQ(script.rejected(), 0);
        EXPECT_EQ(page(), "tsDefault");
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "2");
    EXPECT_EQ(QDir(dmMain->DataFolder + "Printed").entryList({"Receipt-*.pdf"}, QDir::Files).size(),
              1);
}

}  // namespace
