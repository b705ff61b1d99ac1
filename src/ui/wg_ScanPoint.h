#pragma once

#include <QWidget>

// A window's scan point, the hidden scan buffer (MarkScanBuffer marks it) and its Enter button,
// lies behind the screen where no customer sees it: it is neither read aloud nor a key to move
// to.
inline void MarkScanPoint(QWidget& widget) {
    widget.setProperty("kioskScanPoint", true);
}

inline bool IsScanPoint(const QWidget& widget) {
    return widget.property("kioskScanPoint").toBool();
}
