#include "sale/wg_TestModeBand.h"

#include "payment/uTestMode.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"

namespace {
constexpr int BandHeight = 36;
}

TTestModeBand::TTestModeBand(QWidget* parent) : QLabel(TestModeBandText, parent) {
    setObjectName(QStringLiteral("lbTestMode"));
    setFixedHeight(BandHeight);
    setAlignment(Qt::AlignCenter);
    setFont(KioskFont(KioskFace::Arial, 24, true));
    setAutoFillBackground(true);
    SetPaletteColour(*this, QPalette::Window, QColor(0xc6, 0x12, 0x12));
    SetPaletteColour(*this, QPalette::WindowText, Qt::white);
    hide();
}
