#pragma once

#include <QString>

class QApplication;

// The resource holding the kiosk's look, "Aqua Light Slate".
inline const QString KioskStylePath = QStringLiteral(":/styles/aqua_light_slate.qss");
// The resource holding the style sheet drawn over the high-contrast palette.
inline const QString HighContrastStylePath = QStringLiteral(":/styles/high_contrast.qss");

// The style sheet in the file or resource; empty when it cannot be read.
QString StyleSheetText(const QString& path);
// The high-contrast style sheet; empty when the resource cannot be read.
inline QString HighContrastStyleSheet() {
    return StyleSheetText(HighContrastStylePath);
}

// Gives the application the kiosk's look. False when the style cannot be loaded; the
// application then keeps its default look.
bool ApplyKioskStyle(QApplication& app);

// Gives the application the style sheet in the file, over a light slate palette. False, with
// nothing changed, when the file cannot be read.
bool ApplyStyleSheetFile(QApplication& app, const QString& path);
