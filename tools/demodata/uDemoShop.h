#pragma once

#include <QDate>
#include <QString>
#include <utility>
#include <vector>

#include "uUpdateContent.h"

// The demonstration shop: the forecourt shop of an Irish fuel station, with key pictures that
// the kpdemodata tool draws itself.
namespace demo {

// What a key picture shows; the drawing is the tool's.
enum class PictureKind { Cup, Pastry, Loaf, Roll, Wrap, Bowl, Fruit, Banana, Doughnut };

struct KeyPicture {
    QString name;  // file name in the import folder, as the update file names it
    PictureKind kind;
    unsigned rgb;  // main colour, 0xRRGGBB
};

// A member of staff whose card the demonstration may use.
struct StaffCard {
    QString code;  // what the card's barcode holds: the kiosk's POS_PASS
    QString name;
    bool confirmsAge;
};

struct DemoShop {
    UpdateContent content;
    std::vector<KeyPicture> pictures;
    std::vector<StaffCard> staffCards;
};

// Promotions run from a month before today to a year after it.
DemoShop MakeDemoShop(const QDate& today);

// A 12-digit number completed with its EAN-13 check digit.
QString Ean13(const QString& twelveDigits);

// The GS1 codes of the demonstration shop's dated and weighed goods, as a GS1 DataMatrix
// carries them (with its symbology identifier), each with what it does at the kiosk.
struct Gs1DemoCode {
    QString name;  // the picture's file name in docs/, without ".png"
    // (AI, value) in the symbol's order; only the last may be of variable length, so the
    // element strings need no separator and can be typed as they stand.
    std::vector<std::pair<QString, QString>> elements;
    QString sells;

    // "]d201095011010209171745123110Y2311": what a scanner sends.
    QString elementStrings() const;
    // "[01]09501101020917[17]451231[10]Y2311": zint's GS1 input.
    QString bracketed() const;
};
std::vector<Gs1DemoCode> Gs1DemoCodes();

}  // namespace demo
