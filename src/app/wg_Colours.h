#pragma once

#include <QColor>

// Colours are stored and exchanged as Windows colour values: 0x00BBGGRR, red in the lowest byte.
QColor WinColour(int value);

// The Windows colour value of a colour (the inverse of WinColour).
int WinColourValue(const QColor& colour);

// The face colour of buttons and dialogs in the current palette.
QColor ButtonFaceColour();
