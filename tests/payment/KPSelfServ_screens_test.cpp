// The kiosk on screens of many sizes: the 1024 x 768 design scaled whole to the screen (up or
// down), centred, the spare margin in the bar colour, and a sale paid by touches where the buttons
// are drawn.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <csignal>

#include "db/fbQuery.h"
#include "kiosk/MainScreenFixture.h"
#include "payment/fm_ccPayment.h"
#include "sale/fm_Info.h"
#include "support/KioskProcess.h"
#include "support/VirtualDisplay.h"
#include "ui/wg_Window.h"

namespace {

constexpr int kStartTimeout = 120000;
// The payment's result stays on screen 3 s before the receipt question.
constexpr int kResultAndQuestionMs = 4500;
const QColor kBarColour(0x24, 0x3b, 0x5e);

// Where the sale's three touches land in the design: the window's own coordinates of the
// pay buttons, and the receipt question's Yes from the middle of its box (which stands in
// the middle of the screen).
struct DesignTouches {
    QPoint finishAndPay;
    QPoint chipAndPin;
    QPoint receiptYesFromCentre;
};

class ScreenSizesTest : public MainScreenFixture {
protected:
    // The design's touch points, read from the kiosk's own screen going through a sale.
    DesignTouches designTouches() {
        QFile ini(dmMain->DataFolder + "PinPad.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[PinPad]\nTerminal=simulator\nInteractive=false\nResponseCode=1\n");
        ini.close();
        DesignTouches touches;
        const auto centreIn = [this](QWidget* w) {
            return w->mapTo(&screen(), w->rect().center());
        };
        scan(Crisps);
        auto* pay = widget<QPushButton>("cmFinishAndPay");
        touches.finishAndPay = centreIn(pay);
        Touch(pay);
        touches.chipAndPin = centreIn(widget("cmMOPChipAndPIN"));
        ModalScript script(10000);
        script.on<TfmInfoBox>([&](TfmInfoBox& box) {
            QWidget* yes = box.findChild<QPushButton*>("cmOk");
            touches.receiptYesFromCentre =
                yes->mapTo(&box, yes->rect().center()) - box.rect().center();
            box.findChild<QPushButton*>("cmNo")->click();
        });
        Touch(widget("cmMOPChipAndPIN"));
        EXPECT_TRUE(script.done());
        return touches;
    }
};

// A screen of the given size, and where a point of the design is drawn on it: at a screen of
// the design's size or larger by Qt's own scale factor, the design centred in whole logical
// pixels; below it through the scaled view, centred in screen pixels.
struct ScaledScreen {
    QSize size;
    double scale() const { return DesignScale(size, TFmMain::DesignSize); }
    bool scaledView() const { return scale() < 1; }
    QPointF designOrigin() const {
        const QSizeF design(TFmMain::DesignSize);
        if (scaledView()) {
            const QSizeF margin = (QSizeF(size) - design * scale()) / 2 / scale();
            return {margin.width(), margin.height()};
        }
        const QSizeF logical = QSizeF(size) / scale();
        return {std::floor((logical.width() - design.width()) / 2),
                std::floor((logical.height() - design.height()) / 2)};
    }
    QPoint onScreen(const QPoint& design) const {
        return ((designOrigin() + QPointF(design)) * scale()).toPoint();
    }
    // A dialog stands in the middle of the screen, or inside the scaled view in the middle of
    // the design.
    QPoint fromDialogCentre(const QPoint& offset) const {
        if (scaledView())
            return onScreen(
                QPoint(TFmMain::DesignSize.width() / 2, TFmMain::DesignSize.height() / 2) + offset);
        return QPoint(size.width() / 2, size.height() / 2) + (QPointF(offset) * scale()).toPoint();
    }
};

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <
           24;
}

QImage grab(const VirtualDisplay& display, const QString& file) {
    QProcess grabber;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    grabber.setProcessEnvironment(environment);
    grabber.start(QStringLiteral(KIOSK_SCREENGRAB), {file});
    if (!grabber.waitForFinished(30000) || grabber.exitCode() != 0)
        ADD_FAILURE() << grabber.readAllStandardError().toStdString();
    return QImage(file);
}

// Whether a file of the pattern appears in the folder or below it within the time.
bool waitForFile(const QString& folder, const QString& pattern, int timeoutMs) {
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(200)) {
        if (QDirIterator(folder, {pattern}, QDir::Files, QDirIterator::Subdirectories).hasNext())
            return true;
    }
    return false;
}

int paymentsOf(const KioskFolder& folder) {
    auto conx = folder.connect(folder.kioskDatabase());
    fb::Query q(*conx);
    q.setSQL(QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where \"VALUE\" = 1.5"));
    q.open();
    return q.field(0).toInt();
}

// The shop of the fixture, reduced to the crisps, in a kiosk folder paying by the simulated
// terminal.
void StockCrisps(const KioskFolder& folder) {
    {
        auto conx = folder.connect(folder.kioskDatabase());
        for (const char* sql :
             {"insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE) values "
              "(100, 555, 'Crisps Salt & Vinegar', 1, 1.5, 20)",
              "insert into TBL_BARCODES (SID, BARCODE) values (100, '5000000000017')"}) {
            fb::Query q(*conx);
            q.setSQL(QString::fromLatin1(sql));
            q.execSQL();
        }
        conx->commit();
    }
    QFile ini(folder.dataFolder() + QStringLiteral("PinPad.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[PinPad]\nTerminal=simulator\nInteractive=false\nResponseCode=1\n");
}

TEST(DesignScaleTest, TheDesignFitsWholeIntoEveryScreen) {
    struct Case {
        QSize screen;
        double factor;
    };
    const Case cases[] = {{{1024, 768}, 1.0},        {{800, 600}, 0.78125},
                          {{1280, 720}, 0.9375},     {{1920, 1080}, 1.40625},
                          {{1080, 1920}, 1.0546875}, {{1366, 768}, 1.0},
                          {{1280, 1024}, 1.25},      {{0, 0}, 1.0}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(DesignScale(c.screen, {1024, 768}), c.factor);
}

// On each screen the whole design is shown, centred in a margin of the bar colour, and the
// touches where Finish & Pay, Chip & Pin and the receipt question's Yes are drawn pay a sale.
// A screenshot of each size is kept in the build's screenshots/ folder.
TEST_F(ScreenSizesTest, TheWholeScreenIsShownAndTouchesWhereButtonsAreDrawnPayASale) {
    if (const QString reason = VirtualDisplay::whyNone(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    const DesignTouches design = designTouches();
    QDir().mkpath(QStringLiteral(KIOSK_SCREENSHOTS));
    for (const QSize size : {QSize(1024, 768), QSize(800, 600), QSize(1280, 720), QSize(1920, 1080),
                             QSize(1080, 1920)}) {
        const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        SCOPED_TRACE(name.toStdString());
        const ScaledScreen screen{size};
        VirtualDisplay display(size);
        KioskFolder folder;
        StockCrisps(folder);
        KioskProcess kiosk(folder);
        kiosk.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        kiosk.environment().insert(QStringLiteral("DISPLAY"), display.name());
        // No printer for it: the receipt Yes asks for is kept as a file, where it can be seen.
        kiosk.environment().insert(QStringLiteral("CUPS_SERVER"), QStringLiteral("/nonexistent"));
        kiosk.start();
        ASSERT_TRUE(kiosk.waitFor("READY=1", kStartTimeout)) << kiosk.output().toStdString();
        QThread::msleep(1500);  // the first paint, and the splash gone

        const QImage shot =
            grab(display, QStringLiteral(KIOSK_SCREENSHOTS "/kiosk-%1.png").arg(name));
        ASSERT_EQ(shot.size(), size);
        // The corners of the design: the top bar at both ends, the bottom bar at the left and
        // the transaction column's pay panel at the right; the margin around it, if any.
        for (const QPoint corner : {QPoint(4, 4), QPoint(1019, 4), QPoint(4, 763)}) {
            const QPoint at = screen.onScreen(corner);
            EXPECT_TRUE(near(shot.pixelColor(at), kBarColour))
                << at.x() << "," << at.y() << " " << shot.pixelColor(at).name().toStdString();
        }
        EXPECT_TRUE(near(shot.pixelColor(size.width() - 1, size.height() - 1), kBarColour));
        if (screen.onScreen({0, 0}).x() > 0) {
            EXPECT_TRUE(near(shot.pixelColor(0, size.height() / 2), kBarColour));
        }
        if (screen.onScreen({0, 0}).y() > 0) {
            EXPECT_TRUE(near(shot.pixelColor(size.width() / 2, 0), kBarColour));
        }

        display.touch(screen.onScreen({512, 400}));  // the sale page takes the keys
        display.scan(QStringLiteral("5000000000017"));
        QThread::msleep(1000);
        display.touch(screen.onScreen(design.finishAndPay));
        QThread::msleep(1000);
        display.touch(screen.onScreen(design.chipAndPin));
        // The payment recorded (its card receipt written), its result shown, then the receipt
        // question; a slow build takes longer for each.
        EXPECT_TRUE(waitForFile(folder.dataFolder() + QStringLiteral("Receipts"),
                                QStringLiteral("*.rcp"), 30000));
        QThread::msleep(kResultAndQuestionMs);
        display.touch(screen.fromDialogCentre(design.receiptYesFromCentre));
        // Yes asked for the receipt, kept as a file with no printer.
        EXPECT_TRUE(waitForFile(folder.dataFolder() + QStringLiteral("Printed"),
                                QStringLiteral("Receipt-*.pdf"), 20000));
        grab(display, QStringLiteral(KIOSK_SCREENSHOTS "/kiosk-%1-paid.png").arg(name));
        kiosk.signal(SIGTERM);
        ASSERT_TRUE(kiosk.waitForExit(10000));
        EXPECT_EQ(paymentsOf(folder), 1) << kiosk.output().toStdString();
    }
}

}  // namespace
