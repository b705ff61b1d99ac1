#pragma once

#include <QFont>
#include <QString>

// The faces the kiosk's screens were designed with. Each maps to an installed face with the
// same metrics, so texts keep the widths the layouts were made for.
enum class KioskFace { Arial, ArialBlack, Tahoma, SegoeUI, LucidaSansTypewriter, Bahnschrift };

// The installed family that stands in for a face.
QString KioskFamily(KioskFace face);

// A font of the face at a size in pixels (sizes on the kiosk screens are pixels, not points).
QFont KioskFont(KioskFace face, int pixelSize, bool bold = false);
