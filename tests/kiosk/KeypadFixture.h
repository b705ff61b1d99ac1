#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "kiosk/MainScreenFixture.h"
#include "sale/fra_itemkey.h"
#include "ui/wg_FocusRing.h"
#include "ui/wg_KeypadNavigation.h"

// The main screen driven from a keyboard alone: the keypad navigator is installed as the
// program installs it, and keys go where the window system sends them, to the focus widget of
// the window on top. The shop has two key groups: Hot Drinks (Diet Cola, Latte) and Bakery (Scone,
// Muffin, Croissant).
class KeypadFixture : public MainScreenFixture {
protected:
    KeypadFixture() {
        exec("insert into TBL_PRODUCT_GROUPS values (11, 'Hot Drinks', '', 1, 0, 13693183)");
        exec("insert into TBL_PRODUCT_GROUPS values (12, 'Bakery', '', 2, 0, 13693183)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, DEPT_ID, VAT_RATE)"
            " values (200, 'Diet Cola', 1.2, 11, 1, 1, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, DEPT_ID, VAT_RATE)"
            " values (201, 'Latte', 3.3, 11, 2, 1, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, DEPT_ID, VAT_RATE)"
            " values (202, 'Scone', 1.8, 12, 1, 1, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, DEPT_ID, VAT_RATE)"
            " values (203, 'Muffin', 2.1, 12, 2, 1, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, SP, BGROUP, BNUMBER, DEPT_ID, VAT_RATE)"
            " values (204, 'Croissant', 1.5, 12, 3, 1, 20)");
    }

    // The widget a key goes to: the focus of the modal dialog on top, else of the main screen.
    QWidget* keyTarget() {
        QWidget* window = QApplication::activeModalWidget();
        if (!window) window = &screen();
        return window->focusWidget() ? window->focusWidget() : window;
    }
    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(keyTarget(), Qt::Key(code), modifiers);
        // An item key's touch reaches the search page as a posted message.
        QCoreApplication::sendPostedEvents(nullptr, WM_ITEMKEY);
    }
    // A code typed at scanner speed, into whatever has the keyboard, and Enter.
    void typeCode(const QString& code) {
        for (const QChar ch : code) QTest::keyClick(keyTarget(), ch.toLatin1());
        key(Qt::Key_Return);
    }
    // Tab until the key of that name has the focus; false when a whole round missed it.
    bool tabTo(const QString& name) {
        for (int i = 0; i < 60; ++i) {
            if (keyTarget()->objectName() == name) return true;
            key(Qt::Key_Tab);
        }
        return false;
    }
    QString focused() { return keyTarget()->objectName(); }
    QString buffer() { return widget<QLineEdit>("ebScanBuffer")->text(); }
    int lines() { return select("select count(*) from TBL_SALES_LINES").toInt(); }

    // The ring of the focus's window stands around the focused key.
    ::testing::AssertionResult ringAroundFocus() {
        QWidget* target = keyTarget();
        const TFocusRing* ring = TFocusRing::find(target->window());
        if (!ring || !ring->isVisible() || ring->target() != target)
            return ::testing::AssertionFailure() << "no ring on " << focused().toStdString();
        const QRect key(target->mapTo(target->window(), QPoint(0, 0)), target->size());
        const int t = TFocusRing::Thickness;
        if (ring->geometry() != key.adjusted(-t, -t, t, t).intersected(target->window()->rect()))
            return ::testing::AssertionFailure() << "the ring is not around the key";
        return ::testing::AssertionSuccess();
    }

    void terminal(const QString& settings) {
        QFile file(dmMain->DataFolder + "PinPad.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[PinPad]\nTerminal=simulator\nInteractive=false\n" + settings).toUtf8());
    }

    TKeypadNavigator navigator;
};
