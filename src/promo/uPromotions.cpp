#include "promo/uPromotions.h"

#include <QScopeGuard>
#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

const QString kSelectTrigger = QStringLiteral(
    "select * from TBL_PROMO_TRIGGERS t\r\n"
    "  left join TBL_PROMO_PRODUCTS pp on pp.PROMO_ID = t.PROMO_ID and pp.LINE_NO = t.LINE_NO\r\n"
    " where t.PROMO_ID = :ID and t.LINE_NO = :NO");

const QString kSelectPromotion =
    QStringLiteral("select * from TBL_PROMOTIONS where PROMO_ID = :ID");

// The promotions within their dates with their trigger lines 1 to 5 and the lines' products, in
// one statement: each promotion's rows come together, in the order of the promotions.
const QString kSelectActivePromotions = QStringLiteral(
    "select p.PROMO_ID, p.PROMO_TYPE, p.DESCRIPTION, p.PROMO_PRICE, p.START_TIME, p.END_TIME,\r\n"
    "       p.ACTIVE_DAYS, t.LINE_NO, t.TRIGGER_QTY, pp.SID\r\n"
    "  from TBL_PROMOTIONS p\r\n"
    "  left join TBL_PROMO_TRIGGERS t on t.PROMO_ID = p.PROMO_ID and t.LINE_NO between 1 and 5\r\n"
    "  left join TBL_PROMO_PRODUCTS pp on pp.PROMO_ID = t.PROMO_ID and pp.LINE_NO = t.LINE_NO\r\n"
    " where 'now' between p.START_DATE and p.END_DATE");

// Lines without units have no unit price; they are left out before the division is made.
const QString kSelectSalesProducts = QStringLiteral(
    "select * from TBL_SALES_LINES\r\n"
    " where STATUS < 20 and SALES_ID = :SID and SALES_QTY > 0\r\n"
    " order by SALES_AMT / SALES_QTY desc");

const QString kDeleteHits = QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = :SID");

const QString kSelectLastHit =
    QStringLiteral("select max(HIT_NUMBER) from TBL_PROMO_HITS where SALES_ID = :ID");

const QString kSelectHitProduct =
    QStringLiteral("select DEPT_ID, VAT_RATE, SP from TBL_PRODUCTS where SID = :SID");

const QString kInsertHit = QStringLiteral(
    "insert into TBL_PROMO_HITS\r\n"
    " (SALES_ID, PROMO_ID, PROMO_LINE, DEPT_ID, SID, QTY, ORIGINAL_VALUE, DISCOUNTED_VALUE,\r\n"
    "   VAT_RATE, HIT_NUMBER) values \r\n"
    " (:SAL, :PID, :LIN, :DID, :SID, :QTY, :ORG, :DSC, :RTE, :HNR)");

// Takes qty units of product sid out of the list, from its lines in list order (the most
// expensive first); returns what the units taken were worth.
double ConsumeUnits(int sid, int& qty, TSalesProducts& prodList) {
    double worth = 0;
    for (TSalesProduct& s : prodList) {
        if (s.fSID != sid) continue;
        const int taken = std::min(s.SalesQty, qty);
        worth += taken * s.UnitSP;
        s.SalesQty -= taken;
        qty -= taken;
    }
    return worth;
}

int MSecsOfDay(const QTime& time) {
    return time.isValid() ? time.msecsSinceStartOfDay() : 0;
}

}  // namespace

// ---- TTrigger ----------------------------------------------------------------------------

TTrigger::TTrigger(int quantity, const std::vector<int>& sids) : fTriggerQuantity(quantity) {
    for (const int sid : sids) fTriggerProducts.push_back({sid, 0, 0});
}

TTrigger::TTrigger(fb::Query& q, int promoID, int promoLine) {
    q.close();
    q.setSQL(kSelectTrigger);
    q.bind(QStringLiteral("ID"), promoID).bind(QStringLiteral("NO"), promoLine);
    q.open();
    for (; !q.eof(); q.next()) addRow(q.field("TRIGGER_QTY").toInt(), q.field("SID").toInt());
    q.close();
}

void TTrigger::addRow(int quantity, int sid) {
    if (fTriggerProducts.empty()) fTriggerQuantity = quantity;
    fTriggerProducts.push_back({sid, 0, 0});
}

TFulfillmentStatus TTrigger::Fulfilled(const TSalesProducts& prodList) {
    if (fTriggerQuantity <= 0) return fsEmptyTrigger;
    int count = 0;
    for (const TSalesProduct& s : prodList) {
        for (const TTriggerProduct& e : fTriggerProducts) {
            if (e.fSID != s.fSID) continue;
            const int qty =
                s.SalesQty + count > fTriggerQuantity ? fTriggerQuantity - count : s.SalesQty;
            fUsedProducts.push_back({s.fSID, qty, qty * s.UnitSP});
            count += qty;
            if (count >= fTriggerQuantity) return fsFulfilled;
        }
    }
    return fsNotFulfilled;
}

bool TTrigger::ContainsProduct(int sid) const {
    return std::any_of(fTriggerProducts.begin(), fTriggerProducts.end(),
                       [sid](const TTriggerProduct& e) { return e.fSID == sid; });
}

double TTrigger::GetSalesValue() const {
    double value = 0;
    for (const TTriggerProduct& u : fUsedProducts) value += u.fValue;
    return value;
}

double TTrigger::GetLowestSalesValue() const {
    double lowest = 0;
    bool found = false;
    for (const TTriggerProduct& u : fUsedProducts) {
        if (u.fValue <= 0) continue;
        const double unitPrice = u.fValue / u.fQty;
        if (!found || unitPrice < lowest) lowest = unitPrice;
        found = true;
    }
    return lowest;
}

void TTrigger::Reset() {
    fUsedProducts.clear();
}

// ---- TPromotion --------------------------------------------------------------------------

TPromotion::TPromotion(int id, int type, const QString& description, double promoValue)
    : fID(id), fType(type), fDescription(description), fPromoValue(promoValue) {}

TPromotion::TPromotion(fb::Query& q, int id) : fID(id) {
    q.close();
    q.setSQL(kSelectPromotion);
    q.bind(QStringLiteral("ID"), id);
    q.open();
    if (!q.eof()) {
        fType = q.field("PROMO_TYPE").toInt();
        fDescription = q.field("DESCRIPTION").toString();
        fPromoValue = q.field("PROMO_PRICE").toDouble();
    }
    q.close();
    for (int i = 0; i < TriggerCount; ++i) tArray[size_t(i)] = TTrigger(q, id, i + 1);
}

bool TPromotion::IsFulfilled(const TSalesProducts& prodList, double& Discount) {
    Discount = 0;
    if (fType != ptMoneyOff && fType != ptSetPrice && fType != ptCheapestFree) return false;
    Reset();
    for (TTrigger& trigger : tArray) {
        switch (trigger.Fulfilled(prodList)) {
            case fsEmptyTrigger:
                continue;
            case fsNotFulfilled:
                Discount = 0;
                return false;
            case fsFulfilled:
                break;
        }
        if (fType == ptMoneyOff)
            Discount = fPromoValue;
        else if (fType == ptSetPrice)
            Discount += trigger.GetSalesValue() - fPromoValue;
        else
            Discount = trigger.GetLowestSalesValue();
    }
    // A hit never takes off more than its units are worth: not more than its entries' values,
    // nor than the units it would really take, since one unit can satisfy several triggers.
    if (Discount > 0) Discount = std::min({Discount, usedValue(), consumedValue(prodList)});
    return true;
}

bool TPromotion::PossiblePromotion(int sid) const {
    return std::any_of(tArray.begin(), tArray.end(),
                       [sid](const TTrigger& t) { return t.ContainsProduct(sid); });
}

void TPromotion::Reset() {
    for (TTrigger& trigger : tArray) trigger.Reset();
}

double TPromotion::usedValue() const {
    double total = 0;
    for (const TTrigger& trigger : tArray) total += trigger.GetSalesValue();
    return total;
}

double TPromotion::consumedValue(TSalesProducts prodList) const {
    double worth = 0;
    for (const TTrigger& trigger : tArray) {
        for (const TTriggerProduct& u : trigger.fUsedProducts) {
            int qty = u.fQty;
            worth += ConsumeUnits(u.fSID, qty, prodList);
        }
    }
    return worth;
}

void TPromotion::ApplyPromotion(fb::Query& q, int salesID, double Discount,
                                TSalesProducts& prodList) {
    q.close();
    q.setSQL(kSelectLastHit);
    q.bind(QStringLiteral("ID"), salesID);
    q.open();
    const int hit = q.field(0).toInt() + 1;
    q.close();

    const double total = usedValue();
    for (TTrigger& trigger : tArray) {
        for (TTriggerProduct& u : trigger.fUsedProducts) {
            q.setSQL(kSelectHitProduct);
            q.bind(QStringLiteral("SID"), u.fSID);
            q.open();
            const int deptId = q.eof() ? 0 : q.field("DEPT_ID").toInt();
            const double vatRate = q.eof() ? 0 : q.field("VAT_RATE").toDouble();
            q.close();

            q.setSQL(kInsertHit);
            q.bind(QStringLiteral("SAL"), salesID).bind(QStringLiteral("PID"), fID);
            q.bind(QStringLiteral("LIN"), 0).bind(QStringLiteral("DID"), deptId);
            q.bind(QStringLiteral("SID"), u.fSID).bind(QStringLiteral("QTY"), u.fQty);
            q.bind(QStringLiteral("ORG"), u.fValue);
            q.bind(QStringLiteral("DSC"), u.fValue - (u.fValue / total) * Discount);
            q.bind(QStringLiteral("RTE"), vatRate).bind(QStringLiteral("HNR"), hit);
            q.execSQL();

            ConsumeUnits(u.fSID, u.fQty, prodList);
        }
    }
}

// ---- TPromoList --------------------------------------------------------------------------

TPromoList::TPromoList(std::vector<TPromotion> promotions) : fItems(std::move(promotions)) {
    for (const TPromotion& promotion : fItems)
        for (const TTrigger& trigger : promotion.tArray)
            for (const TTriggerProduct& e : trigger.fTriggerProducts) fNamedProducts.insert(e.fSID);
}

QString TPromoList::PromoMarker(int sid) const {
    return sid > 0 && fNamedProducts.contains(sid) ? QStringLiteral("*") : QString();
}

void TPromoList::Reset() {
    for (TPromotion& promotion : fItems) promotion.Reset();
}

// ---- Loading -----------------------------------------------------------------------------

bool PromotionRunsAt(const QTime& startTime, const QTime& endTime, const QString& activeDays,
                     const QDateTime& now) {
    const int t = now.time().msecsSinceStartOfDay();
    if (MSecsOfDay(startTime) > t || MSecsOfDay(endTime) < t) return false;
    const int day = now.date().dayOfWeek();  // ISO: Monday 1 ... Sunday 7
    return activeDays.size() >= day && activeDays.at(day - 1) == u'Y';
}

TPromoList LoadPromotions(fb::Connection& conx, const QDateTime& now) {
    constexpr size_t kSkipped = std::numeric_limits<size_t>::max();
    std::vector<TPromotion> promotions;
    std::unordered_map<int, size_t> position;  // PROMO_ID: index in promotions, or kSkipped
    fb::Query q(conx);
    q.setSQL(kSelectActivePromotions);
    q.open();
    for (; !q.eof(); q.next()) {
        const int id = q.field("PROMO_ID").toInt();
        auto found = position.find(id);
        if (found == position.end()) {
            const bool runs =
                PromotionRunsAt(q.field("START_TIME").toTime(), q.field("END_TIME").toTime(),
                                q.field("ACTIVE_DAYS").toString(), now);
            found = position.emplace(id, runs ? promotions.size() : kSkipped).first;
            if (runs)
                promotions.emplace_back(id, q.field("PROMO_TYPE").toInt(),
                                        q.field("DESCRIPTION").toString(),
                                        q.field("PROMO_PRICE").toDouble());
        }
        if (found->second == kSkipped || q.field("LINE_NO").isNull()) continue;
        TPromotion& promotion = promotions[found->second];
        promotion.tArray[size_t(q.field("LINE_NO").toInt() - 1)].addRow(
            q.field("TRIGGER_QTY").toInt(), q.field("SID").toInt());
    }
    q.close();
    return TPromoList(std::move(promotions));
}

// ---- Evaluation --------------------------------------------------------------------------

TSalesProducts LoadSalesProducts(fb::Query& q, int salesID) {
    TSalesProducts prodList;
    q.close();
    q.setSQL(kSelectSalesProducts);
    q.bind(QStringLiteral("SID"), salesID);
    q.open();
    for (; !q.eof(); q.next()) {
        const int qty = q.field("SALES_QTY").toInt();
        prodList.push_back({q.field("SALES_LINE_ID").toInt(), q.field("SID").toInt(),
                            q.field("DEPT_ID").toInt(), qty,
                            q.field("SALES_AMT").toDouble() / q.field("SALES_QTY").toDouble()});
    }
    q.close();
    return prodList;
}

void EvaluatePromotions(fb::Connection& conx, int salesID, TPromoList& promoList) {
    const auto reset = qScopeGuard([&promoList] { promoList.Reset(); });
    // The sale's hits are replaced whole or not at all: an evaluation that fails leaves the
    // earlier ones, never half a hit, and the engine flushes to disk once, not per row.
    fb::Transaction transaction(conx);
    fb::Query q(transaction);
    // An evaluation replaces the sale's hits, so paying again never doubles a discount.
    q.setSQL(kDeleteHits);
    q.bind(QStringLiteral("SID"), salesID);
    q.execSQL();

    TSalesProducts prodList = LoadSalesProducts(q, salesID);
    // Hits only take units away, so a promotion not fulfilled once is never fulfilled again
    // in this evaluation: each pass asks only those fulfilled in the pass before.
    std::vector<TPromotion*> open;
    for (TPromotion& promotion : promoList.items()) open.push_back(&promotion);
    for (;;) {
        TPromotion* best = nullptr;
        double bestDiscount = 0;
        std::vector<TPromotion*> fulfilled;
        for (TPromotion* promotion : open) {
            double discount = 0;
            if (!promotion->IsFulfilled(prodList, discount)) continue;
            fulfilled.push_back(promotion);
            if (discount > bestDiscount) {  // on a tie the earlier promotion stays
                best = promotion;
                bestDiscount = discount;
            }
        }
        if (!best) break;
        best->ApplyPromotion(q, salesID, bestDiscount, prodList);
        open.swap(fulfilled);
    }
    q.close();
    transaction.commit();
}
