#include "ui/wg_Colours.h"
#include <QWidget>

#include <QGuiApplication>
#include <QPalette>

#include "app/uText.h"

QColor WinColour(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int WinColourValue(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

QColor CaptionColourOn(const QColor& background) {
    return WinColour(CaptionColour(WinColourValue(background)));
}

QColor ButtonFaceColour() {
    return QGuiApplication::palette().color(QPalette::Button);
}

void SetPaletteColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}
