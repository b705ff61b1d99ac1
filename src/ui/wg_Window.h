#pragma once

#include <QSize>

class QWidget;

// The size the kiosk's screens are designed at, which every position of a page refers to; the
// PIN pad window of the terminal service, sharing the kiosk's screen, is scaled by it too.
inline constexpr QSize KioskDesignSize{1024, 768};

// Places a top-level window in the middle of the screen it is on (the primary screen before
// it is shown); a window over one drawn in a scaled view, in the middle of that one.
void CentreOnScreen(QWidget& window);

// The factor that fits a design of the given size whole into a screen of the given size,
// keeping its proportions: the smaller of the two sides' ratios.
double DesignScale(const QSize& screen, const QSize& design);

// Scales every window of the program by DesignScale, so the design fills the primary screen
// as far as its proportions allow. Only enlarges: a screen smaller than the design in either
// direction is left to TScaledHost (wg_ScaledHost.h). The layout is scaled, not a picture of it:
// text and artwork are drawn at the screen's own resolution, and touches are mapped back to the
// design's positions. Called once, before the first window is made. A scale factor given
// in the environment (QT_SCALE_FACTOR) is left to rule.
void ScaleDesignToScreen(const QSize& design);
