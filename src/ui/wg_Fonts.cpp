#include "ui/wg_Fonts.h"

QString KioskFamily(KioskFace face) {
    switch (face) {
        case KioskFace::Arial:
            return QStringLiteral("Liberation Sans");
        case KioskFace::LucidaSansTypewriter:
            return QStringLiteral("DejaVu Sans Mono");
        // A narrow sans like the item keys' own face: long captions keep to two lines.
        case KioskFace::Bahnschrift:
            return QStringLiteral("Liberation Sans Narrow");
        case KioskFace::ArialBlack:
        case KioskFace::Tahoma:
        case KioskFace::SegoeUI:
            break;
    }
    return QStringLiteral("DejaVu Sans");
}

QFont KioskFont(KioskFace face, int pixelSize, bool bold) {
    QFont font(KioskFamily(face));
    font.setStyleHint(face == KioskFace::LucidaSansTypewriter ? QFont::Monospace
                                                              : QFont::SansSerif);
    font.setPixelSize(pixelSize);
    // Arial Black is a heavy face in itself; its stand-in gets the heaviest weight on offer.
    if (face == KioskFace::ArialBlack)
        font.setWeight(QFont::Black);
    else
        font.setBold(bold);
    return font;
}
