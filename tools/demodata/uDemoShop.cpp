#include "uDemoShop.h"

#include "backoffice/uImportUpdates.h"

namespace demo {

namespace {

// Departments, with the Irish VAT rate of most of their goods.
enum Dept {
    kTobacco = 1,
    kOffLicence,
    kBakery,
    kDeli,
    kConfectionery,
    kSoftDrinks,
    kHotDrinks,
    kNewspapers,
    kCarCare,
    kTopUps,
    kDairyAndFruit
};

// Product key groups.
enum KeyGroup { kBakeryKeys = 1, kDeliKeys, kHotDrinkKeys, kFruitKeys };

// A Windows colour value (0x00BBGGRR) from red, green and blue.
constexpr int WinRgb(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}

constexpr int kWhite = WinRgb(255, 255, 255);
constexpr int kBlack = 0;

std::vector<Department> Departments() {
    struct Row {
        int did;
        const char* dsc;
        double rte;
        const char* grp;
    };
    const Row rows[] = {{kTobacco, "Tobacco", 23, "TOB"},
                        {kOffLicence, "Off Licence", 23, "ALC"},
                        {kBakery, "Bakery", 13.5, "FOOD"},
                        {kDeli, "Deli & Hot Food", 13.5, "FOOD"},
                        {kConfectionery, "Confectionery & Snacks", 23, "SHOP"},
                        {kSoftDrinks, "Soft Drinks", 23, "SHOP"},
                        {kHotDrinks, "Hot Drinks", 13.5, "FOOD"},
                        {kNewspapers, "Newspapers & Magazines", 9, "NEWS"},
                        {kCarCare, "Car Care", 23, "FORE"},
                        {kTopUps, "Mobile Top-Ups", 0, "TOPUP"},
                        {kDairyAndFruit, "Dairy & Fruit", 0, "SHOP"}};
    std::vector<Department> departments;
    for (const Row& r : rows) {
        departments.push_back({r.did, QString::fromUtf8(r.dsc), r.rte, QStringLiteral("N"), r.did,
                               QStringLiteral("%1").arg(r.did, 3, 10, QLatin1Char('0')),
                               QString::fromLatin1(r.grp)});
    }
    return departments;
}

// The group keys of the find page, with the picture each shows.
struct KeyGroupItem {
    int grp;
    const char* dsc;
    const char* picture;
    PictureKind kind;
    unsigned rgb;  // key colour, 0xRRGGBB
    int captionColour;
};

const KeyGroupItem kKeyGroups[] = {
    {kBakeryKeys, "Bakery", "grp_bakery.png", PictureKind::Loaf, 0xA6632D, kWhite},
    {kDeliKeys, "Deli & Hot Food", "grp_deli.png", PictureKind::Roll, 0xB22222, kWhite},
    {kHotDrinkKeys, "Hot Drinks", "grp_hotdrinks.png", PictureKind::Cup, 0x5C4033, kWhite},
    {kFruitKeys, "Fruit", "grp_fruit.png", PictureKind::Fruit, 0x9ACD32, kBlack}};

std::vector<Group> Groups() {
    std::vector<Group> groups;
    for (const KeyGroupItem& g : kKeyGroups) {
        groups.push_back({g.grp, QString::fromUtf8(g.dsc), QString::fromLatin1(g.picture), g.grp,
                          g.captionColour,
                          WinRgb(int(g.rgb >> 16), int((g.rgb >> 8) & 0xFF), int(g.rgb & 0xFF))});
    }
    return groups;
}

// A product sold from the shelf by its barcode.
struct ShelfItem {
    int sid;
    const char* dsc;
    int did;
    double sp;
    const char* otherBarcode = nullptr;  // a multipack's outer code or an older label
};

QString ShelfBarcode(int sid) {
    return Ean13(QStringLiteral("539123%1").arg(sid, 6, 10, QLatin1Char('0')));
}

double VatOf(int did) {
    for (const Department& d : Departments())
        if (d.did == did) return d.rte;
    return 23;
}

// A product of the shelves, sold by its SKU and one barcode, at its department's VAT rate.
Product ShelfProduct(int sid, const char* description, int did, double price,
                     const QString& barcode) {
    Product p;
    p.sid = sid;
    p.sku = sid;
    p.dsc = QString::fromUtf8(description);
    p.did = did;
    p.rte = VatOf(did);
    p.sp = price;
    p.barcodes << barcode;
    return p;
}

std::vector<Product> ShelfProducts() {
    const ShelfItem items[] = {
        {1001, "Harbour Gold King Size 20", kTobacco, 16.00},
        {1002, "Harbour Blue King Size 20", kTobacco, 16.00},
        {1003, "Castle Red 20", kTobacco, 16.50},
        {1004, "Westport Rolling Tobacco 30g", kTobacco, 22.50},
        {1005, "Panatella Cigars 5 Pack", kTobacco, 14.00},
        {1006, "Cigarette Papers King Size", kTobacco, 1.20},
        {1101, "Lager 4 x 500ml Cans", kOffLicence, 10.00},
        {1102, "Irish Stout 4 x 440ml Cans", kOffLicence, 9.50},
        {1103, "Craft Pale Ale 330ml", kOffLicence, 3.50},
        {1104, "Apple Cider 500ml Can", kOffLicence, 3.00},
        {1105, "Shiraz Red Wine 75cl", kOffLicence, 11.00},
        {1106, "Sauvignon Blanc White Wine 75cl", kOffLicence, 11.00},
        {1107, "Prosecco 75cl", kOffLicence, 14.00},
        {1201, "Milk Chocolate Bar 45g", kConfectionery, 1.50},
        {1202, "Caramel Chocolate Bar 50g", kConfectionery, 1.50},
        {1203, "Hazelnut Wafer Bar 40g", kConfectionery, 1.40},
        {1204, "Fruit Pastilles Tube", kConfectionery, 1.20},
        {1205, "Cheese & Onion Crisps 50g", kConfectionery, 1.35},
        {1206, "Salt & Vinegar Crisps 50g", kConfectionery, 1.35},
        {1207, "Spearmint Chewing Gum", kConfectionery, 1.30},
        {1208, "Jellies Sharing Bag 150g", kConfectionery, 2.50},
        {1301, "Cola 500ml", kSoftDrinks, 2.20, "5000112001303"},
        {1302, "Diet Cola 500ml", kSoftDrinks, 2.20},
        {1303, "Sparkling Orange 500ml", kSoftDrinks, 2.10},
        {1304, "Still Water 500ml", kSoftDrinks, 1.30},
        {1305, "Sparkling Water 500ml", kSoftDrinks, 1.40},
        {1306, "Energy Drink 250ml", kSoftDrinks, 2.30},
        {1307, "Sports Drink 500ml", kSoftDrinks, 2.50},
        {1308, "Orange Juice 330ml", kSoftDrinks, 2.40},
        {1401, "The Morning Chronicle", kNewspapers, 2.80},
        {1402, "Evening Gazette", kNewspapers, 2.00},
        {1403, "Sunday Tribune", kNewspapers, 3.50},
        {1404, "Motoring Monthly", kNewspapers, 5.99},
        {1405, "Crossword & Puzzle Book", kNewspapers, 3.99},
        {1501, "Screen Wash 5L", kCarCare, 6.99},
        {1502, "De-Icer Spray 500ml", kCarCare, 4.99},
        {1503, "Engine Oil 5W-30 1L", kCarCare, 12.99},
        {1504, "AdBlue 10L", kCarCare, 14.99},
        {1505, "Car Air Freshener", kCarCare, 2.99},
        {1506, "Wiper Blade 22in", kCarCare, 15.99},
        {1507, "Microfibre Cloths 2 Pack", kCarCare, 3.99},
        {1601, "Fresh Milk 1L", kDairyAndFruit, 1.25},
        {1602, "Fresh Milk 2L", kDairyAndFruit, 2.19},
    };
    std::vector<Product> products;
    for (const ShelfItem& item : items) {
        Product p = ShelfProduct(item.sid, item.dsc, item.did, item.sp, ShelfBarcode(item.sid));
        if (item.otherBarcode) p.barcodes << QString::fromLatin1(item.otherBarcode);
        products.push_back(p);
    }
    return products;
}

// Imported sweets whose wrappers carry the 8-digit UPC-E short form of the UPC-A code the
// product file holds.
std::vector<Product> ImportedSweets() {
    const struct {
        int sid;
        const char* dsc;
        double sp;
        const char* upcA;  // scanned as UPC-E: 07654325, 04785139, 02893347, 03589274
    } items[] = {
        {1211, "Peanut Butter Cups 42g", 1.95, "076200005435"},
        {1212, "Root Beer Barrels 100g", 2.25, "047800000519"},
        {1213, "Candy Corn 85g", 2.10, "028930000037"},
        {1214, "Marshmallow Fluff 213g", 3.99, "035892000074"},
    };
    std::vector<Product> products;
    for (const auto& item : items) {
        Product p;
        p.sid = item.sid;
        p.sku = item.sid;
        p.dsc = QString::fromUtf8(item.dsc);
        p.did = kConfectionery;
        p.rte = VatOf(kConfectionery);
        p.sp = item.sp;
        p.barcodes << QString::fromLatin1(item.upcA);
        products.push_back(p);
    }
    return products;
}

// Goods labelled in the shop: the deli's scale prints the item number with the price, or with
// the weight for goods sold by the kilogram (SP is then the price per kilogram). They carry no
// barcode of their own; the label finds them by their SKU.
std::vector<Product> LabelledProducts() {
    const struct {
        int sid, sku;
        const char* dsc;
        int did;
        double sp;
    } items[] = {
        {1701, 40101, "Deli Salad Box", kDeli, 4.50},
        {1702, 40102, "Hot Chicken Wings Box", kDeli, 5.99},
        {1703, 40201, "Pick & Mix Sweets (per kg)", kConfectionery, 14.90},
    };
    std::vector<Product> products;
    for (const auto& item : items) {
        Product p;
        p.sid = item.sid;
        p.sku = item.sku;
        p.dsc = QString::fromUtf8(item.dsc);
        p.did = item.did;
        p.rte = VatOf(item.did);
        p.sp = item.sp;
        products.push_back(p);
    }
    return products;
}

// The prefixes of the deli scale's labels: 22 a price, 23 a weight in grams, 24 a price with a
// verifier digit.
std::vector<PriceCode> PriceCodes() {
    return {{QStringLiteral("22"), QStringLiteral("P"), false},
            {QStringLiteral("23"), QStringLiteral("W"), false},
            {QStringLiteral("24"), QStringLiteral("P"), true}};
}

// Dated goods whose packs carry GS1 DataMatrix codes with their batch and use-by date, and ham
// sliced to order whose label carries its weight. The yogurt of batch Y2310 is recalled, the
// cream is past its use-by date.
constexpr int kYogurt = 1621;
constexpr int kCream = 1622;
constexpr int kHam = 1721;
const char* const kRecalledBatch = "Y2310";

QString Gtin14OfShelfProduct(int sid) {
    return u'0' + ShelfBarcode(sid);
}

// A variable-measure GTIN: indicator digit 9 before the shop's number of the product.
QString VariableMeasureGtin(int sid) {
    const QString body = QStringLiteral("9539123%1").arg(sid, 6, 10, QLatin1Char('0'));
    int sum = 0;
    for (int i = 0; i < 13; ++i) sum += body.at(i).digitValue() * (i % 2 == 0 ? 3 : 1);
    return body + QString::number((10 - sum % 10) % 10);
}

std::vector<Product> Gs1Products() {
    const struct {
        int sid;
        const char* dsc;
        int did;
        double sp;
        QString gtin;
    } items[] = {
        {kYogurt, "Natural Yogurt 500g", kDairyAndFruit, 1.89, ShelfBarcode(kYogurt)},
        {kCream, "Fresh Cream 250ml", kDairyAndFruit, 1.65, ShelfBarcode(kCream)},
        {kHam, "Smoked Ham (per kg)", kDeli, 18.90, VariableMeasureGtin(kHam)},
    };
    std::vector<Product> products;
    for (const auto& item : items)
        products.push_back(ShelfProduct(item.sid, item.dsc, item.did, item.sp, item.gtin));
    return products;
}

std::vector<Recall> Recalls() {
    return {{Gtin14OfShelfProduct(kYogurt), QString::fromLatin1(kRecalledBatch), QDate(2024, 1, 1),
             QStringLiteral("Natural Yogurt 500g batch Y2310: foreign body"), false}};
}

// A product sold from a key on the find page: no barcode, a picture instead.
struct KeyItem {
    int sid;
    const char* dsc;
    int did;
    double rte;
    double sp;
    int group;
    const char* picture;
    PictureKind kind;
    unsigned rgb;
};

const KeyItem kKeyItems[] = {
    {5001, "Butter Croissant", kBakery, 13.5, 1.60, kBakeryKeys, "croissant", PictureKind::Pastry,
     0xE0A458},
    {5002, "Pain au Chocolat", kBakery, 13.5, 1.80, kBakeryKeys, "painauchocolat",
     PictureKind::Pastry, 0xC68642},
    {5003, "Fruit Scone", kBakery, 13.5, 1.90, kBakeryKeys, "scone", PictureKind::Pastry, 0xD9A066},
    {5004, "Jam Doughnut", kBakery, 13.5, 1.50, kBakeryKeys, "doughnut", PictureKind::Doughnut,
     0xE8A87C},
    {5005, "Cinnamon Swirl", kBakery, 13.5, 2.10, kBakeryKeys, "cinnamonswirl", PictureKind::Pastry,
     0xB5651D},
    {5006, "Brown Soda Bread", kBakery, 0, 2.95, kBakeryKeys, "sodabread", PictureKind::Loaf,
     0x8B5A2B},
    {5007, "Sausage Roll", kBakery, 13.5, 2.20, kBakeryKeys, "sausageroll", PictureKind::Roll,
     0xD2A15A},
    {5101, "Chicken Fillet Roll", kDeli, 13.5, 5.50, kDeliKeys, "chickenroll", PictureKind::Roll,
     0xE3B778},
    {5102, "Breakfast Roll", kDeli, 13.5, 5.95, kDeliKeys, "breakfastroll", PictureKind::Roll,
     0xC98B4B},
    {5103, "Ham & Cheese Toastie", kDeli, 13.5, 4.50, kDeliKeys, "toastie", PictureKind::Loaf,
     0xE6C27A},
    {5104, "Chicken Caesar Wrap", kDeli, 13.5, 5.25, kDeliKeys, "wrap", PictureKind::Wrap,
     0xF0DCA0},
    {5105, "Soup of the Day", kDeli, 13.5, 3.95, kDeliKeys, "soup", PictureKind::Bowl, 0xD35400},
    {5106, "Potato Wedges Small", kDeli, 13.5, 2.50, kDeliKeys, "wedgessmall", PictureKind::Bowl,
     0xF1C40F},
    {5107, "Potato Wedges Large", kDeli, 13.5, 3.50, kDeliKeys, "wedgeslarge", PictureKind::Bowl,
     0xE67E22},
    {5201, "Americano Regular", kHotDrinks, 13.5, 2.80, kHotDrinkKeys, "americano",
     PictureKind::Cup, 0x3E2723},
    {5202, "Americano Large", kHotDrinks, 13.5, 3.20, kHotDrinkKeys, "americanolarge",
     PictureKind::Cup, 0x4E342E},
    {5203, "Latte Regular", kHotDrinks, 13.5, 3.30, kHotDrinkKeys, "latte", PictureKind::Cup,
     0xC8A27A},
    {5204, "Latte Large", kHotDrinks, 13.5, 3.70, kHotDrinkKeys, "lattelarge", PictureKind::Cup,
     0xBF9B6F},
    {5205, "Cappuccino", kHotDrinks, 13.5, 3.40, kHotDrinkKeys, "cappuccino", PictureKind::Cup,
     0xA47551},
    {5206, "Hot Chocolate", kHotDrinks, 13.5, 3.30, kHotDrinkKeys, "hotchocolate", PictureKind::Cup,
     0x6D4C41},
    {5207, "Breakfast Tea", kHotDrinks, 13.5, 2.20, kHotDrinkKeys, "tea", PictureKind::Cup,
     0xA0522D},
    {5301, "Banana", kDairyAndFruit, 0, 0.45, kFruitKeys, "banana", PictureKind::Banana, 0xF4D03F},
    {5302, "Red Apple", kDairyAndFruit, 0, 0.60, kFruitKeys, "apple", PictureKind::Fruit, 0xC0392B},
    {5303, "Orange", kDairyAndFruit, 0, 0.65, kFruitKeys, "orange", PictureKind::Fruit, 0xE67E22},
};

QString KeyPictureName(const char* picture) {
    return QStringLiteral("key_%1.png").arg(QLatin1StringView(picture));
}

// Key colours: a pale tone per group, so captions read black.
int KeyColour(int group) {
    switch (group) {
        case kBakeryKeys:
            return WinRgb(253, 235, 208);
        case kDeliKeys:
            return WinRgb(250, 219, 216);
        case kHotDrinkKeys:
            return WinRgb(237, 224, 212);
        default:
            return WinRgb(232, 246, 212);
    }
}

std::vector<Product> KeyProducts() {
    std::vector<Product> products;
    int position = 0;
    int group = 0;
    for (const KeyItem& item : kKeyItems) {
        position = item.group == group ? position + 1 : 1;
        group = item.group;
        Product p;
        p.sid = item.sid;
        p.sku = item.sid;
        p.dsc = QString::fromUtf8(item.dsc);
        p.did = item.did;
        p.rte = item.rte;
        p.sp = item.sp;
        p.bgr = item.group;
        p.bnr = position;
        p.bgl = KeyPictureName(item.picture);
        p.bcl = KeyColour(item.group);
        products.push_back(p);
    }
    return products;
}

// The vouchers of the top-up page, by network and value, with the barcodes it scans for them.
std::vector<Product> TopUpProducts() {
    struct Voucher {
        const char* network;
        int value;
        const char* barcode;
    };
    const Voucher vouchers[] = {
        {"Vodafone", 10, "5391504580071"},     {"Vodafone", 20, "5391504580088"},
        {"Vodafone", 30, "5391504580170"},     {"Vodafone", 40, "5391504580095"},
        {"Vodafone", 50, "5391504580118"},     {"Three", 10, "5050553850008"},
        {"Three", 20, "5050553850015"},        {"Three", 30, "5050553850022"},
        {"Three", 40, "5050553850039"},        {"Tesco Mobile", 10, "5051399756301"},
        {"Tesco Mobile", 20, "5051399756370"},
    };
    std::vector<Product> products;
    int sid = 9001;
    for (const Voucher& v : vouchers) {
        Product p;
        p.sid = sid++;
        p.sku = p.sid;
        p.dsc = QStringLiteral("%1 Top-Up %2%3")
                    .arg(QLatin1StringView(v.network), kEuro, QString::number(v.value));
        p.did = kTopUps;
        p.rte = 0;
        p.sp = v.value;
        p.barcodes << QString::fromLatin1(v.barcode);
        products.push_back(p);
    }
    return products;
}

std::vector<int> SidsOf(const std::vector<Product>& products, int did) {
    std::vector<int> sids;
    for (const Product& p : products)
        if (p.did == did) sids.push_back(p.sid);
    return sids;
}

// Tobacco and alcohol are for adults; tobacco is also limited per sale, and alcohol may be sold
// only in the licensed hours (10:30 to 22:00, on Sundays from 12:30).
std::vector<Restriction> Restrictions(const std::vector<Product>& products) {
    constexpr int kTobaccoLimit = 5;
    constexpr int kCigarettePapers = 1006;  // sold to adults only, but not counted as tobacco
    std::vector<Restriction> restrictions;
    for (int sid : SidsOf(products, kTobacco))
        if (sid != kCigarettePapers) restrictions.push_back({sid, 1, kTobaccoLimit, {}, {}});
    restrictions.push_back({kTobacco, 2, {}, 18, {}});
    Restriction alcohol{kOffLicence, 2, {}, 18, {}};
    for (int day = 2; day <= 7; ++day) alcohol.hours.push_back({day, QTime(10, 30), QTime(22, 0)});
    alcohol.hours.push_back({8, QTime(12, 30), QTime(22, 0)});
    restrictions.push_back(alcohol);
    return restrictions;
}

// A promotion over one or more trigger lines, each a quantity of any of its products.
struct PromoLine {
    int qty;
    std::vector<int> sids;
};

Promotion MakePromotion(int pid, const QString& dsc, int vtp, double prc,
                        const std::vector<PromoLine>& lines, const QDate& today) {
    Promotion p;
    p.pid = pid;
    p.dsc = dsc;
    p.vtp = vtp;
    p.prc = prc;
    p.beg = QDateTime(today.addDays(-30), QTime(0, 0));
    p.end = QDateTime(today.addDays(365), QTime(23, 59, 59));
    for (size_t i = 0; i < lines.size(); ++i) {
        const int lin = int(i) + 1;
        p.triggers.push_back({lin, lines[i].qty});
        for (int sid : lines[i].sids) p.products.push_back({sid, lin, 0});
    }
    return p;
}

std::vector<Promotion> Promotions(const QDate& today) {
    const std::vector<int> rolls{5101, 5102, 5103, 5104};
    const std::vector<int> coldDrinks{1301, 1302, 1303, 1304, 1305, 1307};
    const std::vector<int> coffees{5201, 5202, 5203, 5204, 5205};
    const std::vector<int> pastries{5001, 5002, 5003, 5004, 5005};
    const std::vector<int> papers{1401, 1402};
    const std::vector<int> chocolate{1201, 1202, 1203};
    const std::vector<int> crisps{1205, 1206};
    const std::vector<int> wine{1105, 1106};
    const std::vector<int> carCare{1501, 1502, 1503, 1505, 1507};
    const std::vector<int> fruit{5301, 5302, 5303};
    const QString& e = kEuro;
    return {
        MakePromotion(101, "Meal Deal: Roll + Drink " + e + "1 Off", 1, 1.00,
                      {{1, rolls}, {1, coldDrinks}}, today),
        MakePromotion(102, QStringLiteral("Coffee & Pastry 50c Off"), 1, 0.50,
                      {{1, coffees}, {1, pastries}}, today),
        MakePromotion(103, "Screen Wash + De-Icer " + e + "2 Off", 1, 2.00,
                      {{1, {1501}}, {1, {1502}}}, today),
        MakePromotion(104, QStringLiteral("Paper & Coffee 30c Off"), 1, 0.30,
                      {{1, papers}, {1, coffees}}, today),
        MakePromotion(201, "Any 2 Chocolate Bars " + e + "2.50", 2, 2.50, {{2, chocolate}}, today),
        MakePromotion(202, "Any 2 x 500ml Soft Drinks " + e + "3.50", 2, 3.50, {{2, coldDrinks}},
                      today),
        MakePromotion(203, "3 Bags of Crisps for " + e + "3", 2, 3.00, {{3, crisps}}, today),
        MakePromotion(204, "2 Bottles of Wine for " + e + "20", 2, 20.00, {{2, wine}}, today),
        MakePromotion(301, QStringLiteral("Car Care 3 for 2"), 3, 0, {{3, carCare}}, today),
        MakePromotion(302, QStringLiteral("Bakery Treats 3 for 2"), 3, 0, {{3, pastries}}, today),
        MakePromotion(303, QStringLiteral("Fruit: Buy 2, Cheapest Free"), 3, 0, {{2, fruit}},
                      today),
    };
}

// Managers and supervisors may confirm a customer's age (the second right); a young shop
// assistant may not, and a new starter has no card yet.
std::vector<User> Users() {
    return {{1, QStringLiteral("Aoife Murphy"), QStringLiteral("1001"), QDate(1979, 5, 14),
             QStringLiteral("YYYYYYYYYY")},
            {2, QStringLiteral("Ciaran Byrne"), QStringLiteral("1002"), QDate(1990, 11, 2),
             QStringLiteral("YYNNNNNNNN")},
            {3, QStringLiteral("Sean Kelly"), QStringLiteral("1003"), QDate(2008, 3, 9),
             QStringLiteral("YNNNNNNNNN")},
            {4, QStringLiteral("Niamh Walsh"), QString(), QDate(1996, 7, 23),
             QStringLiteral("YYNNNNNNNN")}};
}

std::vector<StaffCard> StaffCards(const std::vector<User>& users) {
    std::vector<StaffCard> cards;
    for (const User& u : users)
        if (!u.pas.isEmpty())
            cards.push_back({StaffCardCode(u.pas), u.log, u.acc.mid(1, 1) == QStringLiteral("Y")});
    return cards;
}

std::vector<KeyPicture> Pictures() {
    std::vector<KeyPicture> pictures;
    for (const KeyGroupItem& g : kKeyGroups)
        pictures.push_back({QString::fromLatin1(g.picture), g.kind, g.rgb});
    for (const KeyItem& item : kKeyItems)
        pictures.push_back({KeyPictureName(item.picture), item.kind, item.rgb});
    return pictures;
}

}  // namespace

QString Ean13(const QString& twelveDigits) {
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += twelveDigits.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
    return twelveDigits.left(12) + QString::number((10 - sum % 10) % 10);
}

QString Gs1DemoCode::elementStrings() const {
    QString text = QStringLiteral("]d2");
    for (const auto& [ai, value] : elements) text += ai + value;
    return text;
}

QString Gs1DemoCode::bracketed() const {
    QString text;
    for (const auto& [ai, value] : elements) text += u'[' + ai + u']' + value;
    return text;
}

std::vector<Gs1DemoCode> Gs1DemoCodes() {
    const auto element = [](const char* ai, const QString& value) {
        return std::pair(QString::fromLatin1(ai), value);
    };
    const QString yogurt = Gtin14OfShelfProduct(kYogurt);
    const auto useBy = [&](const char* yymmdd) {
        return element("17", QString::fromLatin1(yymmdd));
    };
    return {
        {QStringLiteral("gs1-yogurt-good"),
         {element("01", yogurt), useBy("451231"), element("10", QStringLiteral("Y2311"))},
         QStringLiteral("Natural Yogurt 500g, batch Y2311, use by 31 December 2045")},
        {QStringLiteral("gs1-yogurt-recalled"),
         {element("01", yogurt), useBy("451231"),
          element("10", QString::fromLatin1(kRecalledBatch))},
         QStringLiteral("nothing: batch Y2310 is recalled")},
        {QStringLiteral("gs1-cream-expired"),
         {element("01", Gtin14OfShelfProduct(kCream)), useBy("230131"),
          element("10", QStringLiteral("C0123"))},
         QStringLiteral("nothing: its use-by date, 31 January 2023, has passed")},
        {QStringLiteral("gs1-ham-weighed"),
         {element("01", VariableMeasureGtin(kHam)), useBy("451231"),
          element("3103", QStringLiteral("000425")), element("10", QStringLiteral("H77"))},
         QStringLiteral("Smoked Ham, 0.425 kg at 18.90/kg")},
    };
}

DemoShop MakeDemoShop(const QDate& today) {
    DemoShop shop;
    UpdateContent& c = shop.content;
    c.site1 = QStringLiteral("Glenbeg Service Station");
    c.site2 = QStringLiteral("Naas Road, Glenbeg, Co. Kildare");
    c.phone = QStringLiteral("045 555 0142");
    c.vatno = QStringLiteral("IE9876543K");
    c.groups = Groups();
    c.users = Users();
    c.departments = Departments();
    for (auto&& part : {ShelfProducts(), ImportedSweets(), LabelledProducts(), Gs1Products(),
                        KeyProducts(), TopUpProducts()})
        c.products.insert(c.products.end(), part.begin(), part.end());
    c.priceCodes = PriceCodes();
    c.recalls = Recalls();
    c.restrictions = Restrictions(c.products);
    c.promotions = Promotions(today);
    shop.pictures = Pictures();
    shop.staffCards = StaffCards(c.users);
    return shop;
}

}  // namespace demo
