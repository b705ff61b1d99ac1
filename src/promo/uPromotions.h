#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <unordered_set>
#include <vector>

#include "db/fbConnection.h"
#include "db/fbQuery.h"

// The promotion engine: the promotions active today, the "*" marker of the lines whose product
// one of them names, and the greedy evaluation that records a sale's discounts as hits in
// TBL_PROMO_HITS. The main screen loads the list once, marks the lines it shows and evaluates
// the sale when the customer goes to pay. Each function takes its own queries on the connection.

// A product a trigger line names (only fSID is meaningful), or units of the sale that satisfied
// a trigger: fQty units of product fSID, worth fValue at the sale's unit price.
struct TTriggerProduct {
    int fSID = 0;
    int fQty = 0;
    double fValue = 0;
};

// A line of the sale as the engine sees it: SalesQty is what is left for promotions.
struct TSalesProduct {
    int fLineID = 0;
    int fSID = 0;
    int fDID = 0;
    int SalesQty = 0;
    double UnitSP = 0;
};

// The working list: the sale's lines in descending order of unit price.
using TSalesProducts = std::vector<TSalesProduct>;

enum TFulfillmentStatus { fsEmptyTrigger, fsFulfilled, fsNotFulfilled };

// One trigger line of a promotion: fTriggerQuantity units from any of fTriggerProducts.
class TTrigger {
public:
    // An empty trigger: it neither helps nor blocks its promotion.
    TTrigger() = default;
    TTrigger(int quantity, const std::vector<int>& sids);
    // Trigger line promoLine of promotion promoID; a line missing from the database is empty,
    // and a line without products names product 0.
    TTrigger(fb::Query& q, int promoID, int promoLine);

    // Gathers units of the sale in list order (most expensive first) into fUsedProducts until
    // fTriggerQuantity is reached. Units are only counted here, not taken from the list.
    TFulfillmentStatus Fulfilled(const TSalesProducts& prodList);
    bool ContainsProduct(int sid) const;
    // The value of the gathered units.
    double GetSalesValue() const;
    // The lowest unit price among the gathered entries worth more than 0; 0 when none is.
    double GetLowestSalesValue() const;
    void Reset();
    // One row of the trigger line joined to its products: the first row gives the quantity,
    // every row an eligible product (0 where the line names none).
    void addRow(int quantity, int sid);

    int fTriggerQuantity = 0;
    std::vector<TTriggerProduct> fTriggerProducts;
    std::vector<TTriggerProduct> fUsedProducts;
};

// Promotion types; any other type never applies but still marks its products.
enum TPromoType { ptMoneyOff = 1, ptSetPrice = 2, ptCheapestFree = 3 };

class TPromotion {
public:
    static constexpr int TriggerCount = 5;

    TPromotion(int id, int type, const QString& description, double promoValue);
    // Promotion id with its five trigger lines, read from the database.
    TPromotion(fb::Query& q, int id);

    // True when every trigger that asks for units is satisfied; Discount is then what the
    // promotion takes off, never more than the units it would use are worth.
    bool IsFulfilled(const TSalesProducts& prodList, double& Discount);
    bool PossiblePromotion(int sid) const;
    void Reset();
    // Records one hit of Discount over the units the last IsFulfilled gathered, spread in
    // proportion to their values, then takes those units out of prodList.
    void ApplyPromotion(fb::Query& q, int salesID, double Discount, TSalesProducts& prodList);

    int fID = 0;
    int fType = 0;
    QString fDescription;
    double fPromoValue = 0;
    std::array<TTrigger, TriggerCount> tArray;

private:
    double usedValue() const;
    double consumedValue(TSalesProducts prodList) const;
};

// The promotions loaded for the life of the main screen, in the database's order, with the set
// of every product they name for the line marker.
class TPromoList {
public:
    TPromoList() = default;
    explicit TPromoList(std::vector<TPromotion> promotions);

    std::vector<TPromotion>& items() { return fItems; }
    const std::vector<TPromotion>& items() const { return fItems; }
    // "*" when a promotion of the list names product sid (above 0), else empty.
    QString PromoMarker(int sid) const;
    void Reset();

private:
    std::vector<TPromotion> fItems;
    std::unordered_set<int> fNamedProducts;
};

// Whether a promotion within its dates runs at now: START_TIME to END_TIME both included, and
// the character of now's ISO weekday in ACTIVE_DAYS exactly "Y". A NULL time reads as 00:00.
bool PromotionRunsAt(const QTime& startTime, const QTime& endTime, const QString& activeDays,
                     const QDateTime& now);

// The promotions whose dates include the database's today and that run at now, in the
// database's order, read with their trigger lines in one statement.
TPromoList LoadPromotions(fb::Connection& conx, const QDateTime& now);

// The sale's lines that are not void and have a quantity above 0, most expensive unit first.
TSalesProducts LoadSalesProducts(fb::Query& q, int salesID);

// Replaces the sale's hits: deletes those recorded, then applies the promotion with the largest
// discount (the earlier one on a tie) again and again until none gives a discount. All of it is
// one transaction, committed at the end; on an error the earlier hits stay as they were. Call
// it outside any explicit transaction of the connection, since starting one ends the current.
// Resets every promotion at the end; the caller redraws.
void EvaluatePromotions(fb::Connection& conx, int salesID, TPromoList& promoList);
