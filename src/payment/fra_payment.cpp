#include "payment/fra_payment.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

constexpr int Margin = 32;
constexpr int StripGap = 64;
constexpr QSize MethodSize{180, 120};
constexpr QSize CancelSize{120, 85};
constexpr int MethodIconSize = 64;

QPixmap CashArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A bank note with a coin in front of it.
        p.setPen(Stroke(colour, 5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(6, 22, 76, 44), 6, 6);
        p.drawEllipse(QPointF(44, 44), 10, 10);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(74, 68), 18, 18);
        p.drawLine(QPointF(74, 58), QPointF(74, 78));
    });
}

QPixmap ChipAndPinArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A card with its chip, leaning on a PIN pad.
        p.setPen(Stroke(colour, 5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(4, 14, 62, 40), 5, 5);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(12, 26, 14, 11), 2, 2);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(50, 36, 44, 58), 6, 6);
        p.drawRect(QRectF(57, 43, 30, 12));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                p.drawEllipse(QPointF(60 + column * 12, 64 + row * 10), 3.2, 3.2);
    });
}

QToolButton* MakeButton(const QString& name, const QString& caption, const QPixmap& picture,
                        QSize size, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setFont(KioskFont(KioskFace::Tahoma, 16));
    button->setFixedSize(size);
    MakeKeypadKey(button);
    if (!picture.isNull()) {
        button->setIcon(QIcon(picture));
        button->setIconSize(picture.size());
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    }
    return button;
}

QHBoxLayout* Centred(std::initializer_list<QWidget*> widgets, int spacing) {
    auto* strip = new QHBoxLayout;
    strip->setSpacing(spacing);
    strip->addStretch(1);
    for (QWidget* widget : widgets) strip->addWidget(widget);
    strip->addStretch(1);
    return strip;
}

}  // namespace

TfraPayment::TfraPayment(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsMOP"));

    auto* lbHeading = new QLabel(QStringLiteral("Select Method of Payment"), this);
    lbHeading->setObjectName(QStringLiteral("lbMOPHeading"));
    lbHeading->setFont(KioskFont(KioskFace::Tahoma, 27, true));
    lbHeading->setAlignment(Qt::AlignCenter);
    SetPaletteColour(*lbHeading, QPalette::WindowText, KioskTextColour);

    // No cash payment exists: the button is there, disabled for good.
    auto* cmMOPCash = MakeButton(QStringLiteral("cmMOPCash"), QStringLiteral("Cash"),
                                 CashArt(MethodIconSize, KioskTextColour), MethodSize, this);
    cmMOPCash->setEnabled(false);
    auto* cmMOPChipAndPIN =
        MakeButton(QStringLiteral("cmMOPChipAndPIN"), QStringLiteral("Chip && Pin"),
                   ChipAndPinArt(MethodIconSize, KioskTextColour), MethodSize, this);
    auto* cmCancelMOP = MakeButton(QStringLiteral("cmCancelMOP"), QStringLiteral("Cancel\nPayment"),
                                   {}, CancelSize, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Margin, StripGap, Margin, StripGap);
    layout->setSpacing(0);
    layout->addWidget(lbHeading);
    layout->addSpacing(StripGap);
    layout->addLayout(Centred({cmMOPCash, cmMOPChipAndPIN}, 4));
    layout->addStretch(1);
    layout->addLayout(Centred({cmCancelMOP}, 0));

    MarkEscapeKey(cmCancelMOP);
    connect(cmMOPCash, &QToolButton::clicked, this, &TfraPayment::methodChosen);
    connect(cmMOPChipAndPIN, &QToolButton::clicked, this, &TfraPayment::methodChosen);
    connect(cmCancelMOP, &QToolButton::clicked, this, &TfraPayment::cancelPayment);
}
