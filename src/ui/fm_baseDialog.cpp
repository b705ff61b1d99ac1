#include "ui/fm_baseDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/uGlobals.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_ScanPoint.h"
#include "ui/wg_Window.h"

namespace {

const QColor BorderColour(96, 108, 124);

}  // namespace

const QColor TfmBaseDialog::StoredHeaderColour(72, 97, 138);

TfmBaseDialog::TfmBaseDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("fmBaseDialog"));
    setFixedSize(ClientSize.grownBy({BorderWidth, BorderWidth, BorderWidth, BorderWidth}));
    setFont(KioskFont(KioskFace::Tahoma, 11));
    SetPaletteColour(*this, QPalette::Window, BorderColour);
    setAutoFillBackground(true);

    fClient = new QWidget(this);
    fClient->setObjectName(QStringLiteral("client"));
    fClient->setGeometry(QRect(QPoint(BorderWidth, BorderWidth), ClientSize));
    SetPaletteColour(*fClient, QPalette::Window, ButtonFaceColour());
    fClient->setAutoFillBackground(true);

    ebScanBuffer = new QLineEdit(fClient);
    ebScanBuffer->setObjectName(QStringLiteral("ebScanBuffer"));
    ebScanBuffer->setGeometry(296, 25, 57, 21);
    MarkScanBuffer(*ebScanBuffer);

    cmEndScan = new QPushButton(QStringLiteral("X"), fClient);
    cmEndScan->setObjectName(QStringLiteral("cmEndScan"));
    cmEndScan->setGeometry(116, 21, 75, 25);
    cmEndScan->setDefault(true);
    cmEndScan->setFocusPolicy(Qt::NoFocus);  // the scan buffer keeps the keyboard
    MarkScanPoint(*cmEndScan);

    pnHeader = new QLabel(fClient);
    pnHeader->setObjectName(QStringLiteral("pnHeader"));
    pnHeader->setGeometry(0, 0, ClientSize.width(), HeaderHeight);
    pnHeader->setAlignment(Qt::AlignCenter);
    pnHeader->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    pnHeader->setAutoFillBackground(true);
    SetPaletteColour(*pnHeader, QPalette::Window, StoredHeaderColour);
    SetPaletteColour(*pnHeader, QPalette::WindowText, Qt::white);
    pnHeader->raise();  // hides the scan buffer and its button

    ebScanBuffer->setFocus();
    CentreOnScreen(*this);
    FormCreate();
    connect(&TLargeText::instance(), &TLargeText::applied, this,
            [this](bool on) { scaleTo(on ? TLargeText::Scale : 1); });
}

void TfmBaseDialog::showEvent(QShowEvent* event) {
    scaleTo(TLargeText::instance().on() ? TLargeText::Scale : 1);
    QDialog::showEvent(event);
}

void TfmBaseDialog::scaleTo(double scale) {
    if (scale == fScale) return;
    const double by = scale / fScale;
    fScale = scale;
    const auto scaled = [by](const QRect& r) {
        return QRect(qRound(r.x() * by), qRound(r.y() * by), qRound(r.width() * by),
                     qRound(r.height() * by));
    };
    const QSize client = scaled(QRect(QPoint(), fClient->size())).size();
    setFixedSize(client.grownBy({BorderWidth, BorderWidth, BorderWidth, BorderWidth}));
    fClient->resize(client);
    for (QWidget* control : fClient->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        control->setGeometry(scaled(control->geometry()));
    CentreOnScreen(*this);
}

void TfmBaseDialog::FormCreate() {
    if (BrandingColour == NoBrandingColour) return;
    const QColor colour = WinColour(BrandingColour);
    SetPaletteColour(*pnHeader, QPalette::Window, colour);
    // The caption reads on whatever colour the site chose.
    SetPaletteColour(*pnHeader, QPalette::WindowText, CaptionColourOn(colour));
}

void TfmBaseDialog::setHeaderCaption(const QString& caption) {
    pnHeader->setText(caption);
}

// Enter only ever ends a scan, and Escape is ignored: a dialog closes through its own buttons.
void TfmBaseDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (cmEndScan->isEnabled()) cmEndScan->click();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
