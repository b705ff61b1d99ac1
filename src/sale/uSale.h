#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "app/uClock.h"
#include "app/uMemTable.h"
#include "db/fbQuery.h"

// The sale and its lines in the database. TFmMain keeps fSalesID / fPreviousSalesID and the
// widgets; it holds one TSale on the data module's two queries and shows what comes back:
//
//   TSale sale(dm->q1, dm->q2);
//   // AddProductToSale(sid, barcode, qty, caption):
//   TAddResult r = sale.AddProductToSale(fSalesID, fPreviousSalesID, sid, barcode, qty,
//                                        caption, view);   // view: the restriction boxes
//   if (r.added) { show r.panel; RefreshTransaction(); } show tsDefault;
//   // RefreshTransaction():
//   TSaleTotals t = sale.ReadTotals(fSalesID);              // lbSubTotal, lbItemCount
//   sale.LoadLines(fSalesID, cdsTX, marker);                // grid rows; select the last
//   cmFinishAndPay->setEnabled(cdsTX.rowCount() > 0);
//   // BarcodeScanned(text):
//   QString description;
//   qint64 sid = sale.LookupBarcode(text, description);     // -1: "Barcode Not Found"
//   if (sid > 0) AddProductToSale(int(sid), CleanBarcode(text), 1, description);
//
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
    // True when staff confirmed the customer's age.
    virtual bool confirmAge(int age) = 0;
};

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
// The scanned text with every space removed, as the line stores it.
QString CleanBarcode(const QString& text);

class TSale {
public:
    // q1: header, restrictions, products and every write; q2: line list, promotion rows and
    // the barcode lookup. clock: nullptr reads Clock::instance() at each use.
    TSale(fb::Query& q1, fb::Query& q2, const Clock* clock = nullptr);

    // The whole of adding a product: restriction check (refusals shown through view, nothing
    // written), the header on the first accepted item (sets salesId and previousSalesId),
    // the line. The caller then shows result.panel, refreshes and shows tsDefault.
    // Database errors propagate.
    TAddResult AddProductToSale(int& salesId, int& previousSalesId, int sid, const QString& barcode,
                                double quantity, const QString& caption, TSaleView& view);

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

private:
    QDateTime now() const;

    fb::Query& q1_;
    fb::Query& q2_;
    const Clock* clock_;
};
