#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "app/uClock.h"
#include "app/uMemTable.h"
#include "db/fbQuery.h"
#include "sale/uAgeChecks.h"
#include "sale/uBarcodes.h"
#include "sale/uStops.h"

// The sale and its lines in the database. The main screen keeps the sale's numbers and the
// widgets, and shows what TSale gives back: the added line, the totals, the lines of the grid.
// Each statement stands alone: writes commit with retaining on the connection.

// The scanned-product panel after an accepted product.
struct TScannedProduct {
    QString caption;       // lbScannedProduct, already through AmpersandCaption
    QString quantityText;  // lbScannedQty; empty (and the label hidden) for a quantity of 1
    QString glyph;         // picture name for LoadResImage; empty: hide pnScannedProductGlyph
};

struct TAddResult {
    bool added = false;  // false: refused by a restriction, nothing written
    TScannedProduct panel;
};

// What AddProductToSale must show or ask while it runs; TFmMain implements it with fm_Info.
struct TSaleView {
    virtual ~TSaleView() = default;
    // Step 1 of adding: clear imScannedProduct and hide pnScannedProduct.
    virtual void hideScannedProduct() = 0;
    virtual void showControlledProduct(int limit) = 0;
    virtual void showTimeRestricted() = 0;
    // Asks staff to confirm the customer's age: who answered, and how the box ended.
    virtual TAgeCheck confirmAge(int age) = 0;
    // A product stopped at the scan (uStops.h): the customer is told why, in text.
    virtual void showStopped(const QString& text) = 0;
};

// What one line sells: a product, the code it was scanned by, how much, and, for an in-store
// label that carries one, the label's own price in place of the product's SP.
struct TSaleItem {
    int sid = 0;
    QString barcode;  // empty: the product's first barcode is stored
    double quantity = 1;
    QString caption;  // empty: the product's description
    std::optional<double> unitPrice;
    bool weighed = false;  // quantity is kilograms, the price is per kilogram
    // A GS1 code says more of the item than its product: the GTIN and batch go with a stop,
    // which keeps the item out of the sale.
    QString gtin;
    QString batch;
    std::optional<TStopReason> stop;
};

// A product picked or keyed, sold at its own price.
TSaleItem ProductItem(int sid, const QString& barcode, double quantity, const QString& caption);

// A product row as a sale line takes it; found is false when TBL_PRODUCTS has no row
// (the line is still written, with an empty description and a price of 0).
struct TProductInfo {
    int sid = 0;
    QString description;
    qint64 sku = 0;
    int deptId = 0;
    double vatRate = 0;
    double sp = 0;
    QString glyph;  // BGLYPH
    bool found = false;
};

struct TSaleTotals {
    double subTotal = 0;   // GROSS - DISCOUNT of the header, 0 without a header
    QString subTotalText;  // money text, two decimals, "0.00" without a header
    int itemCount = 0;     // sum of the live lines' quantities, rounded to a whole number
};

// The fields of cdsTX, in this order.
QStringList SaleLineFields();
inline constexpr int kProductTextWidth = 30;  // PRODUCT in cdsTX is cut to this length

// A caption with a single "&" doubled so a label shows it; one holding "&&" stays as it is.
QString AmpersandCaption(const QString& caption);
// "3 @ 1.50 each": the quantity rounded to a whole number, the price as money text.
QString QuantityLineText(double quantity, double price);
// "0.350 kg @ 12.90/kg": a weighed line.
QString WeightLineText(double kilograms, double pricePerKilogram);
// The scanned text with every space removed, as the line stores it.
QString CleanBarcode(const QString& text);

class TSale {
public:
    // The sale's queries are its own, on conx: q1_ for the header, restrictions, products and
    // every write, q2_ for the line list, promotion rows and the barcode lookup. clock: nullptr
    // reads Clock::instance() at each use.
    explicit TSale(fb::Connection& conx, const Clock* clock = nullptr);

    // The whole of adding a product: restriction check (refusals shown through view, nothing
    // written), the header on the first accepted item (sets salesId and previousSalesId),
    // the line. The caller then shows result.panel, refreshes and shows tsDefault.
    // Database errors propagate.
    TAddResult AddProductToSale(int& salesId, int& previousSalesId, int sid, const QString& barcode,
                                double quantity, const QString& caption, TSaleView& view);
    // The same for an item as a scan reads it. An age check is asked once per sale: a product
    // of the same or a lower age is sold on the standing confirmation. Every check, asked or
    // not, leaves a record (TBL_AGE_CHECKS).
    TAddResult AddItem(int& salesId, int& previousSalesId, const TSaleItem& item, TSaleView& view);

    // A new header (GUID, SALE_START = now, SALE_END null); returns its SALES_ID.
    qint64 CreateSale();
    // The first barcode the database returns for the product, or empty.
    QString FirstBarcode(int sid);
    TProductInfo ReadProduct(int sid);
    void InsertLine(qint64 salesId, const TProductInfo& product, const QString& barcode,
                    double quantity);

    TSaleTotals ReadTotals(qint64 salesId);
    // Rebuilds cdsTX (fields SaleLineFields()): the listed lines, then, when the sale has
    // promotion hits, an empty row and one row per hit with PRODUCT = the promotion and
    // SALES_AMT = minus the discount. promoMarker (may be empty) gives PROMO_MARKER of the
    // rows whose SID is above 0.
    void LoadLines(qint64 salesId, TMemTable& cdsTX,
                   const std::function<QString(int sid)>& promoMarker = {});

    // Marks one line void; an id that names no line (an empty or hit row) changes nothing.
    void VoidLine(qint64 salesLineId);
    // Voids the header (SALE_END = now, STATUS 20); the lines keep their status.
    void VoidSale(qint64 salesId);
    // VoidSale, then both ids become -1, so a later recall brings nothing back.
    void VoidTransaction(int& salesId, int& previousSalesId);

    // The product of a scanned code (spaces removed here; text that is not a 64-bit decimal
    // number is looked up as 0): its SID and DESCRIPTION, or -1 when nothing matches or the
    // lookup fails for any reason (errors are swallowed, the query is closed either way).
    qint64 LookupBarcode(const QString& text, QString& description);

    // What a scanned code sells, as a shop reads it (ReadScannedCode). A plain code: the code
    // as stored first (by its numeric value), then a UPC-E code as its UPC-A, then an in-store
    // price or weight label of a prefix the back office named (TBL_PRICE_CODES), its item
    // number being the product's SKU. A GS1 code: its GTIN as a plain code is looked up; a
    // variable-measure GTIN is sold by the weight or price its code carries, a count sells that
    // many. Nothing when none matches; a misread (a GTIN whose check digit is wrong, a GS1 code
    // that breaks its rules) is then logged. A product past its date or recalled comes back
    // with its stop set.
    std::optional<TSaleItem> ScanBarcode(const QString& text);

private:
    QDateTime now() const;
    // The product of an in-store label, priced or weighed by the label; errors are swallowed.
    std::optional<TSaleItem> LookupLabel(const QString& digits);
    std::optional<TSaleItem> ScanPlain(const TProductCode& code, const QDate& today);
    std::optional<TSaleItem> ScanGs1(const TGs1Code& code, const TScanSettings& settings,
                                     const QDate& today);
    // The stop of a recall, when one names the item's GTIN (code: nullptr for a plain code).
    void CheckRecall(TSaleItem& item, const TGs1Code* code, const QDate& today);
    // Records the stop of an item, tells the customer and logs it.
    void Stop(int salesId, const TSaleItem& item, TSaleView& view);
    // Asks for, or finds standing, the sale's age confirmation; nothing when the item may not
    // be sold. The refusals are recorded here; a confirmation is recorded once the sale exists.
    std::optional<TAgeCheckRecord> CheckAge(int salesId, int sid, int age, TSaleView& view);

    fb::Query q1_;
    fb::Query q2_;
    const Clock* clock_;
    TAgeChecks ages_;
    TStops stops_;
};
