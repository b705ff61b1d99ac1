#include "ui/fm_baseDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/uGlobals.h"

namespace {

// A dialog as the kiosk derives them: it takes whatever a scan leaves in the buffer.
class ScanProbe : public TfmBaseDialog {
public:
    ScanProbe() {
        setHeaderCaption(QStringLiteral("Enter Quantity"));
        connect(cmEndScan, &QPushButton::clicked, this, [this] {
            scans.push_back(ebScanBuffer->text());
            ebScanBuffer->clear();
        });
    }
    QStringList scans;
};

class BrandingColourScope {
public:
    explicit BrandingColourScope(int colour) : saved_(BrandingColour) { BrandingColour = colour; }
    ~BrandingColourScope() { BrandingColour = saved_; }

private:
    int saved_;
};

void Type(QWidget* target, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + ch.digitValue(), Qt::NoModifier, ch);
        QApplication::sendEvent(target, &press);
    }
}

void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

TEST(BaseDialogTest, HeaderTakesTheBrandingColourUnlessNone) {
    struct Case {
        const char* name;
        int branding;
        QColor expected;
    };
    const Case cases[] = {
        {"none keeps the stored colour", NoBrandingColour, TfmBaseDialog::StoredHeaderColour},
        {"zero is black", 0, QColor(0, 0, 0)},
        {"red in the lowest byte", 0x00C08040, QColor(0x40, 0x80, 0xC0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BrandingColourScope scope(c.branding);
        ScanProbe dialog;
        const auto* header = dialog.findChild<QLabel*>(QStringLiteral("pnHeader"));
        EXPECT_EQ(header->palette().color(QPalette::Window), c.expected);
        EXPECT_EQ(header->text(), QStringLiteral("Enter Quantity"));
    }
}

TEST(BaseDialogTest, ScanControlsLieHiddenUnderTheHeader) {
    ScanProbe dialog;
    const auto* client = dialog.findChild<QWidget*>(QStringLiteral("client"));
    EXPECT_EQ(client->size(), QSize(355, 458));
    for (const char* name : {"ebScanBuffer", "cmEndScan"}) {
        SCOPED_TRACE(name);
        const auto* control = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_TRUE(control->isEnabled());
        EXPECT_EQ(client->childAt(control->geometry().center())->objectName(), "pnHeader");
    }
}

TEST(BaseDialogTest, ScanEndsWithEnterAndNeverClosesTheDialog) {
    ScanProbe dialog;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QApplication::processEvents();
    QWidget* focus =
        QApplication::focusWidget() ? QApplication::focusWidget() : dialog.focusWidget();
    ASSERT_EQ(focus, dialog.findChild<QLineEdit*>(QStringLiteral("ebScanBuffer")));

    Type(focus, QStringLiteral("5012345678900"));
    Press(focus, Qt::Key_Return);
    Type(focus, QStringLiteral("42"));
    Press(focus, Qt::Key_Enter);
    Press(focus, Qt::Key_Escape);
    Press(&dialog, Qt::Key_Escape);
    Press(&dialog, Qt::Key_Return);

    EXPECT_EQ(dialog.scans, QStringList({"5012345678900", "42", ""}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);  // untouched: nothing ended the dialog
}

}  // namespace
