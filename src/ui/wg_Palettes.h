#pragma once

#include <QColor>
#include <QPalette>

// The palettes of the kiosk's two looks: the standard light slate one, and the high-contrast
// one of the large text mode, in which every caption reads at 7:1 or better.

// The colours the standard style sheet is drawn around; dialogs and panels take their faces
// from here.
QPalette StandardPalette();

// The high-contrast look: white and yellow on black.
namespace HighContrast {
inline const QColor Background(0x00, 0x00, 0x00);
inline const QColor Text(0xff, 0xff, 0xff);       // 21:1 on the background
inline const QColor KeyText(0xff, 0xff, 0x00);    // 19.6:1 on the background
inline const QColor Highlight(0xff, 0xff, 0x00);  // a pressed key, a chosen row
inline const QColor HighlightedText(0x00, 0x00, 0x00);
inline const QColor Inactive(0x9a, 0x9a, 0x9a);  // disabled keys and their edges
}  // namespace HighContrast

QPalette HighContrastPalette();
