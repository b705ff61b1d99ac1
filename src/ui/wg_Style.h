#pragma once

#include <QString>

class QApplication;

// The resource holding the kiosk's look, "Aqua Light Slate".
inline const QString KioskStylePath = QStringLiteral(":/styles/aqua_light_slate.qss");

// Gives the application the kiosk's look. False when the style cannot be loaded; the
// application then keeps its default look.
bool ApplyKioskStyle(QApplication& app);

// Gives the application the style sheet in the file, over a light slate palette. False, with
// nothing changed, when the file cannot be read.
bool ApplyStyleSheetFile(QApplication& app, const QString& path);
