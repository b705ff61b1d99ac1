#include "uScaleShop.h"

#include "uDemoShop.h"

namespace demo {

namespace {

constexpr int kDepartments = 20;
constexpr int kGroups = 10;
constexpr int kKeysPerGroup = 40;

// A small fixed-seed generator, so the file does not depend on the library's random engine.
class Sequence {
public:
    explicit Sequence(quint32 seed) : state_(seed) {}
    int below(int bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return int((state_ >> 8) % quint32(bound));
    }

private:
    quint32 state_;
};

const char* const kWords[] = {"Classic", "Original", "Light",  "Extra",   "Family", "Mini",
                              "Large",   "Spicy",    "Smooth", "Crunchy", "Fresh",  "Zero"};
const char* const kGoods[] = {"Crisps",  "Biscuits", "Cola",    "Juice",     "Bar", "Sweets",
                              "Noodles", "Soup",     "Shampoo", "Batteries", "Gum", "Water"};
const double kVatRates[] = {23, 13.5, 9, 0};

std::vector<Department> ScaleDepartments() {
    std::vector<Department> departments;
    for (int did = 1; did <= kDepartments; ++did)
        departments.push_back({did, QStringLiteral("Department %1").arg(did), kVatRates[did % 4],
                               QStringLiteral("N"), did, QString::number(did),
                               QStringLiteral("G%1").arg(did % 5)});
    return departments;
}

std::vector<Group> ScaleGroups() {
    std::vector<Group> groups;
    for (int grp = 1; grp <= kGroups; ++grp)
        groups.push_back({grp, QStringLiteral("Group %1").arg(grp), QString(), grp, 0, 0xE0E0E0});
    return groups;
}

Product ScaleProduct(int sid, Sequence& random) {
    Product p;
    p.sid = sid;
    p.sku = 100000 + sid;
    p.dsc = QStringLiteral("%1 %2 %3g #%4")
                .arg(QLatin1StringView(kWords[random.below(12)]),
                     QLatin1StringView(kGoods[random.below(12)]))
                .arg(25 * (1 + random.below(40)))
                .arg(sid);
    p.did = 1 + sid % kDepartments;
    p.rte = kVatRates[p.did % 4];
    p.sp = 0.49 + 0.05 * random.below(400);
    if (sid <= kGroups * kKeysPerGroup) {  // the first products have keys
        p.bgr = 1 + (sid - 1) / kKeysPerGroup;
        p.bnr = 1 + (sid - 1) % kKeysPerGroup;
        p.bcl = 0xF0F0F0;
    }
    // Two distinct EAN-13 codes per product: a shelf label and a case label.
    for (int k = 0; k < 2; ++k)
        p.barcodes << Ean13(QString::number(200000000000LL + qint64(sid) * 2 + k));
    return p;
}

std::vector<Restriction> ScaleRestrictions(int products) {
    std::vector<Restriction> restrictions;
    for (int sid = 100; sid <= products; sid += 100) restrictions.push_back({sid, 1, 5, {}, {}});
    for (int did = 1; did <= 2; ++did) {
        Restriction r{did, 2, {}, 18, {}};
        for (int day = 2; day <= 8; ++day) r.hours.push_back({day, QTime(10, 30), QTime(22, 0)});
        restrictions.push_back(r);
    }
    return restrictions;
}

Promotion ScalePromotion(int pid, int products, const QDate& today, Sequence& random) {
    Promotion p;
    p.pid = pid;
    p.vtp = 1 + pid % 3;
    p.dsc = QStringLiteral("Promotion %1 ").arg(pid) + kEuro + QString::number(1 + pid % 5);
    p.prc = p.vtp == 3 ? 0 : 1 + random.below(10);
    p.beg = QDateTime(today.addDays(-random.below(60)), QTime(0, 0));
    p.end = QDateTime(today.addDays(30 + random.below(300)), QTime(23, 59, 59));
    const int lines = 1 + random.below(3);
    for (int lin = 1; lin <= lines; ++lin) {
        p.triggers.push_back({lin, 1 + random.below(3)});
        const int count = 3 + random.below(8);
        for (int i = 0; i < count; ++i)
            p.products.push_back({1 + random.below(products), lin, i % 2 == 0 ? 0.0 : 1.5});
    }
    return p;
}

}  // namespace

UpdateContent MakeScaleShop(int products, int promotions, const QDate& today) {
    Sequence random(20240229);
    UpdateContent c;
    c.site1 = QStringLiteral("Scale Test Station");
    c.site2 = QStringLiteral("Benchmark Road");
    c.phone = QStringLiteral("01 555 0100");
    c.vatno = QStringLiteral("IE0000000B");
    c.groups = ScaleGroups();
    for (int uid = 1; uid <= 5; ++uid)
        c.users.push_back({uid, QStringLiteral("User %1").arg(uid), QString::number(2000 + uid),
                           QDate(1980, 1, uid), QStringLiteral("YYNNNNNNNN")});
    c.departments = ScaleDepartments();
    c.products.reserve(size_t(products));
    for (int sid = 1; sid <= products; ++sid) c.products.push_back(ScaleProduct(sid, random));
    c.restrictions = ScaleRestrictions(products);
    c.priceCodes = {{QStringLiteral("22"), QStringLiteral("P"), false},
                    {QStringLiteral("23"), QStringLiteral("W"), false},
                    {QStringLiteral("24"), QStringLiteral("P"), true}};
    for (int pid = 1; pid <= promotions; ++pid)
        c.promotions.push_back(ScalePromotion(pid, std::max(products, 1), today, random));
    return c;
}

}  // namespace demo
