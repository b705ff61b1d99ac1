#pragma once

#include <QDate>
#include <QString>
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

}  // namespace demo
