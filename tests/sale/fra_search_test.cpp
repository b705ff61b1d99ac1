#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>

#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "sale/fm_getQuantity.h"
#include "sale/fra_itemkey.h"
#include "sale/fra_keyboard.h"
#include "sale/fra_search.h"

namespace {

// The shop of the main screen with two key groups: Hot Drinks (group 1, brown key, white
// caption, a picture) and Bakery (group 2, no picture), each with keyed products.
class SearchPageTest : public MainScreenFixture {
protected:
    SearchPageTest() {
        exec(
            "insert into TBL_PRODUCT_GROUPS values (11, 'Hot Drinks & Coffee Corner', "
            "'grp_drinks.png', 1, 16777215, 3355443)");
        exec("insert into TBL_PRODUCT_GROUPS values (12, 'Bakery', '', 2, 0, 13693183)");
        const char* const products[] = {
            // SID, DESCRIPTION, SP, BGROUP, BNUMBER, BCOLOUR
            "200, 'Diet Cola', 1.2, 11, 1, 16777215",  // white key
            "201, 'Latte', 3.3, 11, 2, 1118481",       // dark key
            "202, '100% Orange Juice', 2, 12, 1, 16777215",
            "203, 'Tom''s Toastie', 4.5, 12, 2, 16777215",
        };
        for (const char* p : products)
            exec(QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, "
                                "BCOLOUR, DEPT_ID, VAT_RATE) values (%1, 1, 20)")
                     .arg(QLatin1String(p)));
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        picture.save(dmMain->ResFolder + "grp_drinks.png");
    }

    void find() { Touch(widget("cmLookup")); }
    // A touch on a key of the search page's keyboard.
    void press(const QString& caption) {
        QPushButton* key = widget<TfraKeyboard>("fraKeyboard1")->key(caption);
        ASSERT_NE(key, nullptr) << caption.toStdString();
        Touch(key);
    }
    // A touch on an item key, and the screen's handling of the message it posts.
    void touchKey(const QString& name) {
        Touch(widget(name));
        QCoreApplication::sendPostedEvents(widget("tsFind"), WM_ITEMKEY);
    }
    QStringList keyCaptions() {
        QStringList captions;
        for (TfraItemKey* key : widget("pnItemKeys")->findChildren<TfraItemKey*>())
            if (!key->isHidden()) captions << part(key, "Label1")->text();
        return captions;
    }
    TfraItemKey* key(const QString& name) { return widget<TfraItemKey>(name); }
    // The picture ("Image1") or the caption ("Label1") of a key.
    static QLabel* part(TfraItemKey* key, const char* name) {
        return key->findChild<QLabel*>(QString::fromLatin1(name));
    }
    int headers() { return select("select count(*) from TBL_SALES_HEADERS").toInt(); }
    QString filter() { return widget<QLineEdit>("ebFilter")->text(); }
    QStringList listed() {
        QStringList rows;
        auto* model = widget<QTableView>("dbgFilter")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, 0).data().toString();
        return rows;
    }
    QString lineProduct(int sid) {
        return select(QStringLiteral("select PRODUCT || ' x' || cast(SALES_QTY as integer) from "
                                     "TBL_SALES_LINES where SID = %1")
                          .arg(sid));
    }
    // Answers the quantity dialog with keypad keys, then OK.
    void answerQuantity(ModalScript& script, const QStringList& keys) {
        script.on<TfmGetQuantity>([keys](TfmGetQuantity& dialog) {
            for (const QString& k : keys) Touch(dialog.fraKeyboard1->key(k));
            Touch(dialog.cmOK);
        });
    }
};

TEST_F(SearchPageTest, FindShowsTheGroupKeysWithAnEmptyFilter) {
    find();
    EXPECT_EQ(page(), "tsFind");
    EXPECT_EQ(filter(), "");
    EXPECT_TRUE(shown("sbItemKeys"));
    EXPECT_FALSE(shown("pnFilterGrid"));
    EXPECT_EQ(keyCaptions(), (QStringList{"Hot Drinks & Coffee ", "Bakery"}));
    TfraItemKey* drinks = key("ik_1");
    EXPECT_EQ(drinks->Tag, 11);
    EXPECT_EQ(drinks->height(), 100);
    // Five to a row on the panel's 623 pixels: (623 - 40) / 5 = 116.6, 117 less 4 apart.
    EXPECT_EQ(widget("pnItemKeys")->width(), 623);
    EXPECT_EQ(drinks->width(), 113);
    EXPECT_EQ(drinks->colour(), QColor(0x33, 0x33, 0x33));
    EXPECT_EQ(part(drinks, "Label1")->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_FALSE(part(drinks, "Image1")->isHidden());
    EXPECT_FALSE(part(drinks, "Image1")->pixmap().isNull());
    EXPECT_TRUE(part(key("ik_2"), "Image1")->isHidden());  // no picture: the caption has the key
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
}

TEST_F(SearchPageTest, AGroupKeyShowsItsProductsInTheirColours) {
    find();
    touchKey("ik_1");
    EXPECT_EQ(keyCaptions(), (QStringList{"Diet Cola", "Latte"}));
    EXPECT_EQ(key("ik_1")->Tag, 200);
    EXPECT_EQ(key("ik_1")->size(), QSize(120, 140));
    EXPECT_EQ(part(key("ik_1"), "Label1")->palette().color(QPalette::WindowText),
              QColor(Qt::black));
    EXPECT_EQ(part(key("ik_2"), "Label1")->palette().color(QPalette::WindowText),
              QColor(Qt::white));
    EXPECT_EQ(page(), "tsFind");
    EXPECT_EQ(headers(), 0);
}

// A group of many products: keys are built as they come into view, and a key built after
// scrolling sells its own product.
TEST_F(SearchPageTest, KeysFarDownAreBuiltWhenScrolledTo) {
    {
        fb::Transaction unit(db.kiosk());
        fb::Query insert(unit);
        for (int n = 1; n <= 60; ++n) {
            insert.setSQL(
                QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, "
                               "DEPT_ID) values (%1, 'Sweet %2', 1, 12, %2, 1)")
                    .arg(1000 + n)
                    .arg(n + 2));
            insert.execSQL();
        }
        unit.commit();
    }
    find();
    touchKey("ik_2");
    const QStringList built = keyCaptions();
    EXPECT_GT(built.size(), 4);
    EXPECT_LT(built.size(), 40);
    EXPECT_EQ(built.first(), "100% Orange Juice");
    auto* box = widget<QScrollArea>("sbItemKeys");
    QCoreApplication::sendPostedEvents();  // the box takes the panel's new height
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    EXPECT_EQ(part(key("ik_62"), "Label1")->text(), "Sweet 62");
    ModalScript script;
    answerQuantity(script, {"1"});
    touchKey("ik_62");
    EXPECT_TRUE(script.done());
    EXPECT_EQ(lineProduct(1060), "Sweet 62 x1");
}

// A customer touching a group key twice before the screen has caught up: the second touch
// belongs to the group page, which is gone, and sells nothing.
TEST_F(SearchPageTest, ATouchQueuedBehindAPageChangeIsIgnored) {
    exec(
        "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, DEPT_ID) values (11, 'Same id as "
        "Hot Drinks', 1, 1)");
    find();
    QWidget* drinks = widget("ik_1");
    Touch(drinks);
    Touch(drinks);
    ModalScript script;
    answerQuantity(script, {"1"});
    QCoreApplication::sendPostedEvents(widget("tsFind"), WM_ITEMKEY);
    EXPECT_EQ(keyCaptions(), (QStringList{"Diet Cola", "Latte"}));
    EXPECT_FALSE(script.done());  // no quantity was asked
    EXPECT_EQ(headers(), 0);
}

TEST_F(SearchPageTest, AProductKeyAsksTheQuantityAndAddsTheLine) {
    find();
    touchKey("ik_2");  // Bakery
    ModalScript script;
    answerQuantity(script, {"3"});
    touchKey("ik_2");  // Tom's Toastie
    EXPECT_TRUE(script.done());
    EXPECT_EQ(lineProduct(203), "Tom's Toastie x3");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(text("lbScannedQty"), "3 @ 4.50 each");
    EXPECT_EQ(select("select BARCODE from TBL_SALES_LINES"), "");
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
}

TEST_F(SearchPageTest, CancellingTheQuantityAddsNothing) {
    find();
    touchKey("ik_1");
    ModalScript script;
    script.on<TfmGetQuantity>([](TfmGetQuantity& dialog) {
        Touch(dialog.fraKeyboard1->key("4"));
        Touch(dialog.cmCancel);
    });
    touchKey("ik_1");
    EXPECT_TRUE(script.done());
    EXPECT_EQ(headers(), 0);
    EXPECT_EQ(page(), "tsFind");
}

// Typed text finds keyed products by description; a number found in none lists products by
// barcode prefix. Letters come from the on-screen keyboard, other characters from a keyboard
// typing into the filter.
TEST_F(SearchPageTest, TypingFindsProductsAsTheFilterChanges) {
    struct Case {
        QString onScreen;
        QString typed;
        bool list;
        QStringList shown;
    };
    const Case cases[] = {
        {"", "cola", false, {"Diet Cola"}},
        {"COLA", "", false, {"Diet Cola"}},
        {"T", "", false, {"Diet Cola", "Latte", "Tom's Toastie"}},
        {"", "'", false, {"Tom's Toastie"}},
        {"", "%", false, {"100% Orange Juice"}},
        {"", "_", false, {}},
        {"5000", "", true, {"Crisps Salt & Vinegar"}},
        {"100", "", false, {"100% Orange Juice"}},
    };
    find();
    for (const Case& c : cases) {
        SCOPED_TRACE((c.onScreen + c.typed).toStdString());
        for (const QChar ch : c.onScreen) press(ch);
        auto* edit = widget<QLineEdit>("ebFilter");
        for (const QChar ch : c.typed) SendKey(edit, KeyOf(ch), ch);
        EXPECT_EQ(filter(), c.onScreen + c.typed);
        EXPECT_EQ(shown("pnFilterGrid"), c.list);
        EXPECT_EQ(shown("sbItemKeys"), !c.list);
        EXPECT_EQ(c.list ? listed() : keyCaptions(), c.shown);
        edit->clear();
        EXPECT_EQ(keyCaptions(), (QStringList{"Hot Drinks & Coffee ", "Bakery"}));
    }
}

TEST_F(SearchPageTest, AProductPickedFromTheListIsSold) {
    find();
    for (const QChar ch : QStringLiteral("544")) press(ch);
    ASSERT_EQ(listed(), QStringList{"Cola 500ml"});
    ModalScript script;
    answerQuantity(script, {"2"});
    auto* grid = widget<QTableView>("dbgFilter");
    Touch(grid->viewport());  // lands on no row
    EXPECT_EQ(headers(), 0);
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QMouseEvent press(QEvent::MouseButtonPress, cell.center(),
                      grid->viewport()->mapToGlobal(cell.center()), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, cell.center(),
                        grid->viewport()->mapToGlobal(cell.center()), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &release);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(lineProduct(101), "Cola 500ml x2");
    EXPECT_EQ(page(), "tsDefault");
}

TEST_F(SearchPageTest, BackspaceAndClear) {
    find();
    press(QStringLiteral("\u2190"));  // on an empty filter
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(keyCaptions(), (QStringList{"Hot Drinks & Coffee ", "Bakery"}));
    press("L");
    press("A");
    press("Space");
    press(QStringLiteral("\u2190"));
    press(QStringLiteral("\u2190"));
    EXPECT_EQ(filter(), "L");
    EXPECT_EQ(keyCaptions(), (QStringList{"Diet Cola", "Latte"}));
    press("Clear");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(keyCaptions(), QStringList{});
}

TEST_F(SearchPageTest, FindAgainStartsFromTheGroupKeys) {
    find();
    touchKey("ik_1");
    press("X");
    find();
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(keyCaptions(), (QStringList{"Hot Drinks & Coffee ", "Bakery"}));
}

// The quantity dialog's keys, as the customer presses them, and what GetQuantity returns. A
// quantity the dialog refuses keeps it open with its message, at 0, and the customer cancels.
TEST_F(SearchPageTest, QuantityDialogKeys) {
    struct Case {
        QStringList keys;  // keypad captions, "+", "-", or "scan:<text>" typed and Enter
        QString shown;
        int quantity;
        bool ok = true;
        bool refused = false;
    };
    const Case cases[] = {
        {{"0", "2", "5"}, "25", 25},
        {{"0", "0"}, "0", 0},
        {{"-"}, "0", 0},
        {{"+", "+", "-"}, "1", 1},
        {{"9", "Clear", "4"}, "4", 4},
        {{"9", "9", "9"}, "999", 999},
        {{"9", "9", "9", "+"}, "1000", 0, true, true},
        {{"7"}, "7", 0, false},
        {{"scan:12"}, "12", 12},
        {{"scan:5391504580170"}, "5391504580170", 0, true, true},
        {{"scan:99999999999"}, "99999999999", 0, true, true},
        {{"scan:ABC-1"}, "ABC-1", 0, true, true},
    };
    screen();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.join(' ').toStdString());
        QString shown;
        ModalScript script;
        script.on<TfmGetQuantity>([&](TfmGetQuantity& dialog) {
            EXPECT_EQ(dialog.lbQty->text(), "0");
            auto* scanBuffer = dialog.findChild<QLineEdit*>("ebScanBuffer");
            for (const QString& k : c.keys) {
                if (k.startsWith("scan:")) {
                    scanBuffer->insert(k.mid(5));
                    shown = dialog.lbQty->text();
                    SendKey(scanBuffer, Qt::Key_Return, QStringLiteral("\r"));
                    break;
                }
                QPushButton* button = k == "+"   ? dialog.cmPlus
                                      : k == "-" ? dialog.cmMinus
                                                 : dialog.fraKeyboard1->key(k);
                Touch(button);
            }
            if (!c.keys.last().startsWith("scan:")) {
                shown = dialog.lbQty->text();
                Touch(c.ok ? dialog.cmOK : dialog.cmCancel);
            }
            EXPECT_EQ(dialog.isVisible(), c.refused);
            if (!dialog.isVisible()) return;
            EXPECT_EQ(dialog.lbQuestion->text(), TfmGetQuantity::RefusedText);
            EXPECT_EQ(dialog.lbQty->text(), "0");
            EXPECT_EQ(scanBuffer->text(), "");
            Touch(dialog.cmCancel);
        });
        EXPECT_EQ(GetQuantity(&screen()), c.quantity);
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(script.done());
    }
}

TEST_F(SearchPageTest, QuantityDialogShowsTheKeypadOnly) {
    screen();
    ModalScript script;
    script.on<TfmGetQuantity>([](TfmGetQuantity& dialog) {
        EXPECT_EQ(dialog.findChild<QLabel*>("pnHeader")->text(), "Quantity Needed");
        EXPECT_FALSE(dialog.fraKeyboard1->key("Q")->isVisibleTo(&dialog));
        EXPECT_TRUE(dialog.fraKeyboard1->key("7")->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.focusWidget()->objectName(), "ebScanBuffer");
        Touch(dialog.cmCancel);
    });
    EXPECT_EQ(GetQuantity(&screen()), 0);
    EXPECT_TRUE(script.done());  // the checks above ran on the dialog
}

TEST_F(SearchPageTest, BarcodeNotFoundShowsNoEmptyPictureBox) {
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dmMain->ResFolder + "crisps.png"));
    scan(Crisps);
    EXPECT_TRUE(shown("pnScannedProductGlyph"));
    scan("4006381333931");
    EXPECT_EQ(text("lbScannedProduct"), "Barcode Not Found");
    EXPECT_FALSE(shown("pnScannedProductGlyph"));
}

}  // namespace
