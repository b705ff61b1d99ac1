#pragma once

// What the scan benchmarks share: the raw database work of a scan, and a sale held at the
// lines it has, so every measured scan meets the same sale.
#include <QStringList>

#include "BenchDatabase.h"
#include "db/fbConnection.h"
#include "db/fbQuery.h"

namespace bench {

// The database work no scan can avoid, issued directly with prepared statements on the
// kiosk's connection: one barcode probe joined to its product, the record of its age check
// when the product needs one, and the line that sells it.
class RawScan {
public:
    RawScan(fb::Connection& conx, qint64 salesId);

    // Sells one of the product of code; throws when no barcode matches.
    void run(qint64 code, bool ageChecked = false);
    // The probe alone, as a scan that finds nothing makes it; true when a barcode matched.
    bool probe(qint64 code);

private:
    fb::Query probe_;
    fb::Query ageCheck_;
    fb::Query insert_;
};

// A sale held at the lines it has now.
class HeldSale {
public:
    HeldSale(fb::Connection& conx, qint64 salesId);

    // Deletes the lines added since the sale was held; throws unless exactly added went.
    void restore(int added = 1);

private:
    fb::Connection& conx_;
    qint64 salesId_;
    qint64 lastLine_ = 0;
    qint64 lastAgeCheck_ = 0;
};

// The first barcode of product sid.
QString BarcodeOf(fb::Connection& conx, int sid);
// The codes of count products spread evenly over the catalogue, none of them restricted (no
// quantity limit, no age check, no trading hours), so a scan of one is never refused and never
// calls for staff.
QStringList UnrestrictedCodes(fb::Connection& conx, int count);
// The same, read on a connection of its own to the kiosk database of folder, closed again.
QStringList UnrestrictedCodes(const KioskFolder& folder, int count);

}  // namespace bench
