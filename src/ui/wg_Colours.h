#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// Colours are stored and exchanged as Windows colour values: 0x00BBGGRR, red in the lowest byte.
QColor WinColour(int value);

// The Windows colour value of a colour (the inverse of WinColour).
int WinColourValue(const QColor& colour);

// The colour of captions and pictures on a background: white or black, whichever reads better
// (4.58:1 at least).
QColor CaptionColourOn(const QColor& background);

// The face colour of buttons and dialogs in the current palette.
QColor ButtonFaceColour();

// The dark slate of the kiosk's own texts on light backgrounds.
inline const QColor KioskTextColour(0x1c, 0x26, 0x36);

// Gives one colour role of a widget's palette a colour.
void SetPaletteColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour);
