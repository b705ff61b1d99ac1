#include "sale/fra_default.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_ResImage.h"

namespace {

constexpr int PanelHeight = 114;
constexpr int SideMargin = 32;
constexpr int GlyphWidth = 185;
const QColor Maroon(128, 0, 0);

QLabel* MakeLabel(const QString& name, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    SetPaletteColour(*label, QPalette::WindowText, KioskTextColour);
    return label;
}

}  // namespace

const QString TfraDefault::DefaultText = QStringLiteral("Scan a product or use the buttons below");
const QString TfraDefault::NotFoundText = QStringLiteral("Barcode Not Found");

QString ShownCaption(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            shown += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            shown += u'&';
            ++i;
        }
    }
    return shown;
}

TfraDefault::TfraDefault(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsDefault"));

    pnScannedProduct = new QFrame(this);
    pnScannedProduct->setObjectName(QStringLiteral("pnScannedProduct"));
    pnScannedProduct->setFixedHeight(PanelHeight);
    lbScannedProduct = MakeLabel(QStringLiteral("lbScannedProduct"),
                                 KioskFont(KioskFace::Tahoma, 37), pnScannedProduct);
    lbScannedProduct->setWordWrap(true);
    lbScannedProduct->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbScannedQty = MakeLabel(QStringLiteral("lbScannedQty"), KioskFont(KioskFace::Tahoma, 24, true),
                             pnScannedProduct);
    SetPaletteColour(*lbScannedQty, QPalette::WindowText, Maroon);
    lbScannedQty->setIndent(32);

    pnScannedProductGlyph = new QFrame(pnScannedProduct);
    pnScannedProductGlyph->setObjectName(QStringLiteral("pnScannedProductGlyph"));
    pnScannedProductGlyph->setFixedSize(GlyphWidth, PanelHeight);
    pnScannedProductGlyph->setStyleSheet(
        QStringLiteral("#pnScannedProductGlyph { background: white; border: 1px solid black; }"));
    imScannedProduct = new QLabel(pnScannedProductGlyph);
    imScannedProduct->setObjectName(QStringLiteral("imScannedProduct"));
    imScannedProduct->setAlignment(Qt::AlignCenter);
    // A fixed size, so a picture is fitted to the box even before it is first shown.
    imScannedProduct->setFixedSize(GlyphWidth - 2, PanelHeight - 2);
    auto* glyphLayout = new QVBoxLayout(pnScannedProductGlyph);
    glyphLayout->setContentsMargins(1, 1, 1, 1);
    glyphLayout->addWidget(imScannedProduct);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(0);
    texts->addWidget(lbScannedProduct, 1);
    texts->addWidget(lbScannedQty);
    auto* panelLayout = new QHBoxLayout(pnScannedProduct);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(12);
    panelLayout->addLayout(texts, 1);
    panelLayout->addWidget(pnScannedProductGlyph);

    lbDefaultText =
        MakeLabel(QStringLiteral("lbDefaultText"), KioskFont(KioskFace::Tahoma, 48), this);
    lbDefaultText->setAlignment(Qt::AlignCenter);
    lbDefaultText->setWordWrap(true);
    lbDefaultText->setText(DefaultText);

    fScanArt = new QLabel(this);
    fScanArt->setObjectName(QStringLiteral("imScanArt"));
    fScanArt->setAlignment(Qt::AlignCenter);
    fScanArt->setPixmap(ScanArt(220, 110, QColor(0x3b, 0x4f, 0x6e), QColor(0xe5, 0x39, 0x35)));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(SideMargin, SideMargin, SideMargin, SideMargin);
    layout->setSpacing(24);
    layout->addWidget(pnScannedProduct);
    layout->addStretch(1);
    layout->addWidget(lbDefaultText);
    layout->addWidget(fScanArt);
    layout->addStretch(1);

    pnScannedProduct->hide();
    connect(&TLargeText::instance(), &TLargeText::applied, this, &TfraDefault::largeTextApplied);
}

void TfraDefault::largeTextApplied(bool on) {
    pnScannedProduct->setMinimumHeight(PanelHeight);
    pnScannedProduct->setMaximumHeight(on ? QWIDGETSIZE_MAX : PanelHeight);
}

void TfraDefault::showProduct(const TScannedProduct& product, const QString& resFolder) {
    pnScannedProductGlyph->hide();
    pnScannedProduct->show();
    lbDefaultText->hide();
    fScanArt->hide();
    lbScannedProduct->setText(ShownCaption(product.caption));
    lbScannedQty->setText(product.quantityText);
    lbScannedQty->setVisible(!product.quantityText.isEmpty());
    // An empty framed box would read as a missing picture: the box shows only a picture.
    pnScannedProductGlyph->setVisible(LoadResImage(product.glyph, imScannedProduct, resFolder));
}

void TfraDefault::showNotFound() {
    pnScannedProduct->show();
    lbDefaultText->hide();
    fScanArt->hide();
    lbScannedProduct->setText(NotFoundText);
    lbScannedQty->hide();
    imScannedProduct->clear();
    pnScannedProductGlyph->hide();
}

void TfraDefault::hideProduct() {
    imScannedProduct->clear();
    pnScannedProduct->hide();
}

void TfraDefault::showDefaultText(const QString& text) {
    lbDefaultText->setText(text);
    showDefaultText();
}

void TfraDefault::showDefaultText() {
    lbDefaultText->show();
    fScanArt->show();
}

bool TfraDefault::showsProduct() const {
    return !pnScannedProduct->isHidden();
}
