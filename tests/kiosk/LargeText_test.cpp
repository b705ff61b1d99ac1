#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <functional>
#include <map>
#include <memory>

#include "app/uGlobals.h"
#include "app/uText.h"
#include "kiosk/MainScreenFixture.h"
#include "payment/fm_ccPayment.h"
#include "payment/uCheckout.h"
#include "sale/fm_Info.h"
#include "sale/fm_getQuantity.h"
#include "support/FixedClock.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_Colours.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_Style.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QFont& font, std::ostream* out) {
    *out << font.toString().toStdString();
}
QT_END_NAMESPACE

namespace {

// ---- Reading a caption's colours from the pixels drawn -----------------------------------

struct CaptionColours {
    QRgb background = 0;
    QRgb text = 0;
    double ratio = 21;
};

// The most frequent colour inside the area's edge is its background; its text is the colour
// drawn that stands out most from it. Where the background is a gradient, the text is measured
// against the shade of it that is closest to the text.
CaptionColours MeasureArea(const QImage& image, const QRect& area) {
    constexpr int Edge = 3;  // a key's border and rounded corners
    QHash<QRgb, int> counts;
    const QRect inside = area.adjusted(Edge, Edge, -Edge, -Edge).intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000];
    CaptionColours colours;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) most = it.value(), colours.background = it.key();
    const auto ratio = [](QRgb a, QRgb b) {
        return ContrastRatio(WinColourValue(QColor(a)), WinColourValue(QColor(b)));
    };
    colours.text = colours.background;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (ratio(colours.background, it.key()) > ratio(colours.background, colours.text))
            colours.text = it.key();
    colours.ratio = ratio(colours.background, colours.text);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const bool shade = it.value() >= most / 4 && ratio(colours.background, it.key()) < 1.6;
        if (shade && ratio(it.key(), colours.text) < colours.ratio)
            colours.ratio = ratio(it.key(), colours.text), colours.background = it.key();
    }
    return colours;
}

// What the test measured, for a person to look at.
void SaveShot(const QImage& image, QString name) {
    QDir().mkpath(QStringLiteral(KIOSK_SCREENSHOTS));
    image.save(QStringLiteral(KIOSK_SCREENSHOTS "/contrast-") +
               name.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-")) +
               QStringLiteral(".png"));
}

QString Hex(QRgb rgb) {
    return QColor(rgb).name();
}

// The text a customer reads on a widget; empty for pictures, fields and containers.
QString CaptionOf(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return label->pixmap().isNull() ? label->text().trimmed() : QString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return TLargeText::caption(*button).trimmed();
    return {};
}

// A widget that another one lies over, such as a dialog's scan point under its header.
bool Covered(QWidget& window, QWidget& widget) {
    QWidget* top = window.childAt(widget.mapTo(&window, widget.rect().center()));
    return top && top != &widget && !widget.isAncestorOf(top) && !top->isAncestorOf(&widget);
}

// Layouts and rows resized to new texts settle over a few turns of the event loop.
void Settle() {
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

// Every caption of the window on its background, and every row of its lists: the pairs below
// the bound, each named with its widget and both colours. Disabled keys are not measured.
QStringList CaptionsBelow(QWidget& window, double bound, const QString& shot) {
    Settle();
    const QImage image = window.grab().toImage();
    SaveShot(image, shot);
    QStringList failures;
    const auto check = [&](const QString& name, const QRect& area) {
        const CaptionColours c = MeasureArea(image, area);
        if (c.ratio < bound)
            failures << QStringLiteral("%1: %2 on %3 is %4:1")
                            .arg(name, Hex(c.text), Hex(c.background))
                            .arg(c.ratio, 0, 'f', 2);
    };
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || !widget->isEnabled() || Covered(window, *widget))
            continue;
        const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        const QString caption = CaptionOf(*widget);
        if (!caption.isEmpty())
            check(widget->objectName() + QStringLiteral(" \"") + caption + u'"', area);
        if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
            QAbstractItemModel* model = view->model();
            for (int row = 0; model && row < model->rowCount() && row < 12; ++row) {
                QRect rowArea;
                for (int column = 0; column < model->columnCount(); ++column)
                    rowArea |= view->visualRect(model->index(row, column));
                // Rows out of view, or whose heights are still being worked out, are skipped.
                if (rowArea.isEmpty() || !view->viewport()->rect().contains(rowArea)) continue;
                rowArea.translate(view->viewport()->mapTo(&window, QPoint(0, 0)));
                check(QStringLiteral("%1 row %2").arg(view->objectName()).arg(row), rowArea);
            }
        }
    }
    return failures;
}

// ---- The kiosk in its real look ----------------------------------------------------------

// Light colours a site or a product may choose, which white captions would not read on.
constexpr int LightBranding = 0x80E6FF;  // a pale yellow
constexpr int LightKey = 0xE6C39C;       // a light blue

class LargeTextTest : public MainScreenFixture {
protected:
    LargeTextTest() {
        savedStyle_ = QApplication::style()->name();
        ApplyKioskStyle(*qApp);
        exec("insert into TBL_PRODUCT_GROUPS values (10, 'Snacks & Crisps', '', 1, null, " +
             QString::number(LightKey) + ")");
        exec("insert into TBL_PRODUCT_GROUPS values (20, 'Drinks', '', 2, 16777215, 255)");
        exec("update TBL_PRODUCTS set BGROUP = 10, BNUMBER = SID - 99, BCOLOUR = " +
             QString::number(LightKey) + " where SID = 100");
        exec("update TBL_PRODUCTS set BGROUP = 10, BNUMBER = 2, BCOLOUR = 255 where SID = 101");
        exec("update TBL_PRODUCTS set BGROUP = 10, BNUMBER = 3 where SID = 102");
    }
    ~LargeTextTest() override {
        TAccessModes::instance().setLargeText(false);
        qApp->setStyleSheet(QString());
        QApplication::setPalette(QPalette());
        QApplication::setStyle(savedStyle_);
    }

    void largeText(bool on) {
        TAccessModes::instance().setLargeText(on);
        QApplication::processEvents();
    }

    // Each customer page as it is measured, shown on the main screen.
    std::map<QString, std::function<void()>> pages() {
        return {{"default with a product",
                 [this] {
                     scan(Crisps);
                     scan(Cola);
                     scan(Crisps);
                 }},
                {"search with a group open",
                 [this] {
                     screen().cmLookupClick();
                     screen().WMItemKeyClick(10);
                 }},
                {"payment",
                 [this] {
                     scan(Crisps);
                     screen().cmFinishAndPayClick();
                 }},
                {"top-up", [this] { screen().cmTopupsClick(); }},
                {"manager", [this] { screen().ShowPage(widget("tsManager")); }}};
    }

    // Each customer dialog, built over the main screen.
    std::map<QString, std::function<std::unique_ptr<QWidget>()>> dialogs() {
        return {{"info box",
                 [this] {
                     auto box = std::make_unique<TfmInfoBox>(&screen());
                     box->setCaption(QStringLiteral("Over 18's only"));
                     box->setMessage(QStringLiteral("Please wait, help is coming"));
                     box->setButtons(true, true);
                     return box;
                 }},
                {"receipt question",
                 [this] {
                     auto box = std::make_unique<TfmInfoBox>(&screen());
                     box->setMessage(ReceiptQuestion);
                     box->setButtons(true, true);
                     box->setOkCaption(QStringLiteral("Yes"));
                     return box;
                 }},
                {"quantity", [this] { return std::make_unique<TfmGetQuantity>(&screen()); }},
                {"card payment", [this] { return std::make_unique<TfmCCPayment>(&screen()); }},
                {"message box", [] {
                     return std::make_unique<TMessageForm>(
                         QStringLiteral("Are you sure you want to cancel this sale?"),
                         QStringList{QStringLiteral("Yes"), QStringLiteral("No")}, miQuestion,
                         QString(), 60, false, false, false);
                 }}};
    }

    void brand(int colour) {
        BrandingColour = colour;
        screen().resetToDefault();
    }

private:
    QString savedStyle_;
};

struct Look {
    QString name;
    bool large;
    int branding;
    double bound;
};
// The standard looks come after a high-contrast one too: the mode leaves nothing behind.
const Look Looks[] = {{"standard", false, NoBrandingColour, 4.5},
                      {"high contrast", true, NoBrandingColour, 7},
                      {"standard, light branding", false, LightBranding, 4.5},
                      {"high contrast, light branding", true, LightBranding, 7}};

TEST_F(LargeTextTest, EveryCaptionOfEveryPageAndDialogReadsInEachPalette) {
    for (const Look& look : Looks) {
        for (const auto& [name, show] : pages()) {
            brand(look.branding);
            largeText(look.large);
            show();
            EXPECT_EQ(CaptionsBelow(screen(), look.bound, look.name + u' ' + name)
                          .join(u'\n')
                          .toStdString(),
                      "")
                << look.name.toStdString() << ", page " << name.toStdString();
            largeText(false);
        }
        for (const auto& [name, make] : dialogs()) {
            brand(look.branding);
            largeText(look.large);
            std::unique_ptr<QWidget> dialog = make();
            dialog->show();
            EXPECT_EQ(CaptionsBelow(*dialog, look.bound, look.name + u' ' + name)
                          .join(u'\n')
                          .toStdString(),
                      "")
                << look.name.toStdString() << ", dialog " << name.toStdString();
            dialog.reset();
            largeText(false);
        }
    }
}

// A font's size in pixels, whether it was given in pixels or in points.
double PixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96 / 72;
}

// The widgets of a window that show a text, with their fonts.
std::map<QString, QFont> TextFonts(QWidget& window) {
    std::map<QString, QFont> fonts;
    for (QWidget* widget : window.findChildren<QWidget*>())
        if (widget->window() == &window &&
            (!CaptionOf(*widget).isEmpty() || qobject_cast<QAbstractItemView*>(widget)))
            fonts[widget->objectName() + u' ' + CaptionOf(*widget)] = widget->font();
    return fonts;
}

// The font a widget's text is drawn in: the face, its size in pixels, weight and slant.
QString Drawn(const QWidget& widget) {
    const QFontInfo font = widget.fontInfo();
    return QStringLiteral("%1 %2px weight %3%4")
        .arg(font.family())
        .arg(font.pixelSize())
        .arg(font.weight())
        .arg(font.italic() ? " italic" : "");
}

TEST_F(LargeTextTest, EveryTextGrowsByHalfAgainAndComesBackExactly) {
    scan(Crisps);
    screen().cmLookupClick();
    screen().WMItemKeyClick(10);
    const auto fontsOf = [](QWidget& window) {
        std::map<QWidget*, QString> fonts;
        // Every text and list on the screen.
        for (QWidget* widget : window.findChildren<QWidget*>())
            if (widget->isVisibleTo(&window) &&
                (!CaptionOf(*widget).isEmpty() || qobject_cast<QAbstractItemView*>(widget)))
                fonts[widget] = Drawn(*widget);
        return fonts;
    };
    // The clock stands still, so its label is the same in each grab.
    const FixedClockGuard clock(QDateTime(QDate(2025, 6, 28), QTime(9, 30)));
    screen().tmTimeTimer();
    Settle();
    const auto standard = fontsOf(screen());
    const QImage standardLook = screen().grab().toImage();
    const std::map<QString, QFont> standardTexts = TextFonts(screen());
    const std::map<QString, QFont> standardBox = TextFonts(*dialogs()["info box"]());

    largeText(true);
    // A dialog opened while the mode is on shows large text as well.
    std::unique_ptr<QWidget> box = dialogs()["info box"]();
    box->show();
    using Measured = std::pair<QWidget*, const std::map<QString, QFont>*>;
    for (auto [window, before] :
         {Measured{&screen(), &standardTexts}, Measured{box.get(), &standardBox}})
        for (const auto& [name, font] : TextFonts(*window)) {
            ASSERT_TRUE(before->count(name)) << name.toStdString();
            EXPECT_GE(PixelSize(font), 1.5 * PixelSize(before->at(name))) << name.toStdString();
        }

    box.reset();
    largeText(false);
    Settle();
    const QImage back = screen().grab().toImage();
    QRect differs;
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            if (back.pixel(x, y) != standardLook.pixel(x, y)) differs |= QRect(x, y, 1, 1);
    EXPECT_TRUE(differs.isEmpty())
        << "the standard look is not back in " << differs.x() << "," << differs.y() << " "
        << differs.width() << "x" << differs.height();
    for (const auto& [widget, font] : fontsOf(screen())) {
        ASSERT_TRUE(standard.count(widget)) << widget->objectName().toStdString();
        EXPECT_EQ(font.toStdString(), standard.at(widget).toStdString())
            << widget->objectName().toStdString() << " in "
            << widget->parentWidget()->objectName().toStdString();
    }
}

}  // namespace
