// A scan as the main screen makes it, from the barcode lookup to the refreshed totals and line
// list, onto a 50-line sale at catalogue scale, beside the database work no scan can avoid: one
// barcode probe (joined to its product) and one line insert, prepared, on the same connection.
// Codes are taken from the start, the middle and the end of the catalogue, and the same scans
// run on a 1,000-product shop, to show that a scan does not grow with the catalogue. Each
// scanned product needs an age check, which the sale's standing confirmation answers: its
// record is part of the raw work. Codes that find nothing are timed apart, in each of the ways
// a code is read a second time (UPC-E as UPC-A, an in-store label by its item number). A GS1
// DataMatrix of a product, with its use-by date and batch, is timed apart: its reading, its
// date and the recalls of its GTIN are the scan's own work beside the same raw work.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "BenchSale.h"
#include "app/uClock.h"
#include "app/uMemTable.h"
#include "db/fbQuery.h"
#include "sale/uSale.h"

namespace {

constexpr int kSmallShopProducts = 1000;
constexpr int kSaleLines = 50;

// A Wednesday noon: inside the trading hours of every restricted department of the scale shop.
class NoonClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2024, 3, 13), QTime(12, 0)); }
};

// A customer who passes every age check; a refusal would mean the scan measured nothing.
class AcceptingView : public TSaleView {
public:
    void hideScannedProduct() override {}
    void showControlledProduct(int) override { throw std::runtime_error("Refused as controlled"); }
    void showTimeRestricted() override { throw std::runtime_error("Refused by trading hours"); }
    TAgeCheck confirmAge(int) override { return {TAgeOutcome::Confirmed, 1}; }
    void showStopped(const QString&) override { throw std::runtime_error("Stopped at the scan"); }
};

// The products of the 50 lines, spread over the catalogue; none carries a quantity limit (every
// hundredth does), so the scanned products' limits are never reached.
int SaleLineProduct(int line, int products) {
    const int sid = 1 + line * (products / kSaleLines) + line % 7;
    return sid % 100 == 0 ? sid + 1 : sid;
}

// Where in the catalogue the scanned product stands. Each of them is in a department with an
// age check and trading hours; the middle and the last product also carry a quantity limit.
struct Position {
    const char* name;
    int (*sid)(int products);
};
const Position kPositions[] = {{"first", [](int) { return 1; }},
                               {"middle", [](int products) { return products / 2; }},
                               {"last", [](int products) { return products; }}};

// One shop as the main screen holds it: the connection with the data module's two queries,
// the sale core on them and a 50-line sale; beside them, the raw work's prepared statements on
// the same connection. Every measured scan's line is deleted afterwards, so each scan meets the
// same 50 lines.
class Checkout {
public:
    explicit Checkout(int products) : shop_(products, bench::kCataloguePromotions) {
        shop_.folder().configure(conx_);
        conx_.connect();
        for (int line = 0; line < kSaleLines; ++line)
            scan(barcodeOf(SaleLineProduct(line, products)));
        held_.emplace(conx_, salesId_);
        raw_.emplace(conx_, salesId_);
    }

    int products() const { return shop_.products(); }
    QString barcodeOf(int sid) { return sale_.FirstBarcode(sid); }

    // TFmMain::BarcodeScanned without its widgets: lookup, adding, totals and the line list.
    void scan(const QString& text) {
        const std::optional<TSaleItem> item = sale_.ScanBarcode(text);
        if (!item) throw std::runtime_error("Barcode Not Found: " + text.toStdString());
        sale_.AddItem(salesId_, previousSalesId_, *item, view_);
        totals_ = sale_.ReadTotals(salesId_);
        sale_.LoadLines(salesId_, cdsTX_, [](int) { return QString(); });
    }
    // A scan that reads "Barcode Not Found": the lookup alone, nothing written.
    void scanNotFound(const QString& text) {
        if (sale_.ScanBarcode(text)) throw std::runtime_error("Found: " + text.toStdString());
    }

    // The raw work of a scan: the product of the code, its age check's record and the line
    // that sells it.
    void rawScan(qint64 code) { raw_->run(code, true); }
    // The raw work of a code that matches nothing: one probe.
    void rawProbe(qint64 code) {
        if (raw_->probe(code)) throw std::runtime_error("Found: " + std::to_string(code));
    }

    // What the last scan showed: rows of the line list and the item count.
    int shownLines() const { return cdsTX_.rowCount(); }
    int shownItems() const { return totals_.itemCount; }

    // Deletes the line the last scan added, so the sale has its 50 lines again.
    void restoreSale() { held_->restore(); }

    // A recall of another batch of the product: the scan must read it and let its own batch by.
    void recallOtherBatch(const QString& gtin14) {
        fb::Query q(conx_);
        q.setSQL(
            QStringLiteral("insert into TBL_RECALLS (GTIN, BATCH, FROM_DATE, DESCRIPTION) "
                           "values (:GTIN, 'OTHER', '2024-01-01', 'Another batch')"));
        q.bind(QStringLiteral("GTIN"), gtin14);
        q.execSQL();
    }

private:
    bench::ScaleShop shop_;
    fb::Connection conx_;
    NoonClock clock_;
    TSale sale_{conx_, &clock_};
    AcceptingView view_;
    int salesId_ = -1;
    int previousSalesId_ = -1;
    TSaleTotals totals_;
    TMemTable cdsTX_;
    std::optional<bench::HeldSale> held_;
    std::optional<bench::RawScan> raw_;
};

// Each shop is built on first use and kept for every benchmark on it.
Checkout& CheckoutOf(int products) {
    static std::map<int, std::unique_ptr<Checkout>> checkouts;
    auto& checkout = checkouts[products];
    if (!checkout) checkout = std::make_unique<Checkout>(products);
    return *checkout;
}

using bench::StepTimes;

// Per scan, by shop size and by position of the scanned product.
struct Times {
    StepTimes scan;
    StepTimes raw;
};
std::map<int, std::map<std::string, Times>, std::greater<>> gTimes;
// Per code that finds nothing, at catalogue scale.
std::map<std::string, Times> gNotFound;
// Per GS1 DataMatrix code, at catalogue scale.
Times gGs1;

// What a scanner sends for a GS1 DataMatrix of the product of an EAN-13: its symbology
// identifier, the GTIN, a use-by date and a batch (last, so no separator is needed).
QString Gs1DataMatrixOf(const QString& ean13) {
    return QStringLiteral("]d201") + ean13.rightJustified(14, u'0') + QStringLiteral("17451231") +
           QStringLiteral("10LOT1");
}

// Codes that find nothing, each read its own way: a valid EAN-13, the same misread (logged), a
// UPC-E code looked up again as its UPC-A, and a price label whose item number no product has
// (the shop's prefix 22: the price code, then the SKU).
struct NotFoundCode {
    const char* name;
    const char* code;
};
const NotFoundCode kNotFound[] = {{"ean13", "5012345678900"},
                                  {"misread", "5012345678901"},
                                  {"upce", "04252614"},
                                  {"label", "2299999003507"}};

// Times step once per iteration, then checks it and restores the sale with the clock stopped
// (unless the step wrote nothing).
template <class Step, class Check>
void TimePerStep(benchmark::State& state, Checkout& checkout, StepTimes& times, Step step,
                 Check check, bool restore = true) {
    bench::TimeEachStep(state, times, step, {.before = {}, .after = [&] {
                                                 check();
                                                 if (restore) checkout.restoreSale();
                                             }});
}

void ScanOnSale(benchmark::State& state, int products, const Position& position) {
    Checkout& checkout = CheckoutOf(products);
    const QString code = checkout.barcodeOf(position.sid(products));
    TimePerStep(
        state, checkout, gTimes[products][position.name].scan, [&] { checkout.scan(code); },
        [&] {
            if (checkout.shownLines() != kSaleLines + 1 || checkout.shownItems() != kSaleLines + 1)
                throw std::runtime_error("The scan did not show a 51-line sale");
        });
}

void ScanGs1OnSale(benchmark::State& state) {
    Checkout& checkout = CheckoutOf(bench::kCatalogueProducts);
    const QString ean13 = checkout.barcodeOf(bench::kCatalogueProducts / 2);
    checkout.recallOtherBatch(ean13.rightJustified(14, u'0'));
    const QString code = Gs1DataMatrixOf(ean13);
    TimePerStep(
        state, checkout, gGs1.scan, [&] { checkout.scan(code); },
        [&] {
            if (checkout.shownLines() != kSaleLines + 1)
                throw std::runtime_error("The GS1 scan did not show a 51-line sale");
        });
}

void RawProbeAndInsertGs1(benchmark::State& state) {
    Checkout& checkout = CheckoutOf(bench::kCatalogueProducts);
    const qint64 code = checkout.barcodeOf(bench::kCatalogueProducts / 2).toLongLong();
    TimePerStep(
        state, checkout, gGs1.raw, [&] { checkout.rawScan(code); }, [] {});
}

void RawProbeAndInsert(benchmark::State& state, int products, const Position& position) {
    Checkout& checkout = CheckoutOf(products);
    const qint64 code = checkout.barcodeOf(position.sid(products)).toLongLong();
    TimePerStep(
        state, checkout, gTimes[products][position.name].raw, [&] { checkout.rawScan(code); },
        [] {});
}

// Timed with the sale held as it is: nothing is written.
void ScanNotFound(benchmark::State& state, const NotFoundCode& code) {
    Checkout& checkout = CheckoutOf(bench::kCatalogueProducts);
    const QString text = QString::fromLatin1(code.code);
    TimePerStep(
        state, checkout, gNotFound[code.name].scan, [&] { checkout.scanNotFound(text); }, [] {},
        false);
}

void RawProbeNotFound(benchmark::State& state, const NotFoundCode& code) {
    Checkout& checkout = CheckoutOf(bench::kCatalogueProducts);
    const qint64 value = QString::fromLatin1(code.code).toLongLong();
    TimePerStep(
        state, checkout, gNotFound[code.name].raw, [&] { checkout.rawProbe(value); }, [] {}, false);
}

void RegisterScans() {
    for (const int products : {bench::kCatalogueProducts, kSmallShopProducts}) {
        for (const Position& position : kPositions) {
            const std::string suffix = QStringLiteral("/%1_products/%2")
                                           .arg(products)
                                           .arg(QLatin1StringView(position.name))
                                           .toStdString();
            benchmark::RegisterBenchmark(("Scan" + suffix).c_str(), ScanOnSale, products, position)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("RawProbeAndInsert" + suffix).c_str(), RawProbeAndInsert,
                                         products, position)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    const std::string gs1Suffix =
        "/" + std::to_string(bench::kCatalogueProducts) + "_products/datamatrix";
    benchmark::RegisterBenchmark(("ScanGs1" + gs1Suffix).c_str(), ScanGs1OnSale)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("RawProbeAndInsertGs1" + gs1Suffix).c_str(), RawProbeAndInsertGs1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (const NotFoundCode& code : kNotFound) {
        const std::string suffix =
            "/" + std::to_string(bench::kCatalogueProducts) + "_products/" + code.name;
        benchmark::RegisterBenchmark(("ScanNotFound" + suffix).c_str(), ScanNotFound, code)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("RawProbeNotFound" + suffix).c_str(), RawProbeNotFound, code)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

// The samples of every position of one shop together.
StepTimes AllPositions(const std::map<std::string, Times>& byPosition, StepTimes Times::*member) {
    StepTimes all;
    for (const auto& [name, times] : byPosition) {
        for (const double v : (times.*member).wall.values()) all.wall.add(v);
        for (const double v : (times.*member).cpu.values()) all.cpu.add(v);
    }
    return all;
}

void PrintRow(int products, const std::string& code, const Times& times) {
    if (times.scan.wall.empty() || times.raw.wall.empty()) return;
    const double scan = times.scan.wall.median(), raw = times.raw.wall.median();
    const double scanCpu = times.scan.cpu.median(), rawCpu = times.raw.cpu.median();
    std::printf("%9d  %-6s %8.3f %8.3f %6.2f   %8.3f %8.3f %6.2f\n", products, code.c_str(),
                1000 * scan, 1000 * raw, scan / raw, 1000 * scanCpu, 1000 * rawCpu,
                rawCpu > 0 ? scanCpu / rawCpu : 0.0);
}

// The per-position medians, then the catalogue-scale row of the table.
void ReportScans() {
    std::printf(
        "\nscan onto a 50-line sale, median per scan; raw: the barcode probe and the line insert\n"
        "%9s  %-6s %8s %8s %6s   %8s %8s %6s\n",
        "products", "code", "scan ms", "raw ms", "ratio", "scan cpu", "raw cpu", "ratio");
    for (const auto& [products, byPosition] : gTimes) {
        for (const auto& [name, times] : byPosition) PrintRow(products, name, times);
        PrintRow(products, "all",
                 {AllPositions(byPosition, &Times::scan), AllPositions(byPosition, &Times::raw)});
    }
    const auto large = gTimes.find(bench::kCatalogueProducts);
    if (large == gTimes.end()) return;
    const Times all{AllPositions(large->second, &Times::scan),
                    AllPositions(large->second, &Times::raw)};
    if (all.scan.wall.empty()) return;
    std::string note = QStringLiteral("processor time %1 ms against %2 ms raw")
                           .arg(1000 * all.scan.cpu.median(), 0, 'f', 2)
                           .arg(1000 * all.raw.cpu.median(), 0, 'f', 2)
                           .toStdString();
    const auto small = gTimes.find(kSmallShopProducts);
    if (small != gTimes.end()) {
        const StepTimes smallScan = AllPositions(small->second, &Times::scan);
        if (!smallScan.wall.empty())
            note += QStringLiteral("; %1 ms on a %2-product shop")
                        .arg(1000 * smallScan.wall.median(), 0, 'f', 2)
                        .arg(kSmallShopProducts)
                        .toStdString();
    }
    bench::Report(bench::MakeRow("scan", all.scan.wall, &all.raw.wall, note));
}

// The codes that find nothing, each and together, then their row of the table.
void ReportNotFound() {
    if (gNotFound.empty()) return;
    std::printf(
        "\nscan of a code that finds nothing, median per scan; raw: one barcode probe\n"
        "%-8s %8s %8s %8s\n",
        "code", "scan ms", "p95 ms", "raw ms");
    StepTimes all;
    bench::Samples raw;
    std::string note = "by code:";
    for (const NotFoundCode& code : kNotFound) {
        const auto found = gNotFound.find(code.name);
        if (found == gNotFound.end() || found->second.scan.wall.empty()) continue;
        const Times& times = found->second;
        const double rawMedian = times.raw.wall.empty() ? 0 : times.raw.wall.median();
        std::printf("%-8s %8.3f %8.3f %8.3f\n", code.name, 1000 * times.scan.wall.median(),
                    1000 * times.scan.wall.p95(), 1000 * rawMedian);
        note += QStringLiteral(" %1 %2 ms (p95 %3 ms);")
                    .arg(QLatin1StringView(code.name))
                    .arg(1000 * times.scan.wall.median(), 0, 'f', 2)
                    .arg(1000 * times.scan.wall.p95(), 0, 'f', 2)
                    .toStdString();
        for (const double v : times.scan.wall.values()) all.wall.add(v);
        for (const double v : times.raw.wall.values()) raw.add(v);
    }
    if (all.wall.empty()) return;
    note += " raw: one barcode probe";
    bench::Report(bench::MakeRow("scan_not_found", all.wall, raw.empty() ? nullptr : &raw, note));
}

// The GS1 DataMatrix scan beside the raw work of a plain scan.
void ReportGs1() {
    if (gGs1.scan.wall.empty()) return;
    std::printf("\nscan of a GS1 DataMatrix onto a 50-line sale: %.3f ms (p95 %.3f ms)\n",
                1000 * gGs1.scan.wall.median(), 1000 * gGs1.scan.wall.p95());
    const std::string note = QStringLiteral(
                                 "processor time %1 ms; raw: the barcode probe and "
                                 "the line insert")
                                 .arg(1000 * gGs1.scan.cpu.median(), 0, 'f', 2)
                                 .toStdString();
    bench::Report(bench::MakeRow("scan_gs1", gGs1.scan.wall,
                                 gGs1.raw.wall.empty() ? nullptr : &gGs1.raw.wall, note));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterScans();
    bench::Progress("scan", "scans through the core onto a 50-line sale");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReportScans();
    ReportNotFound();
    ReportGs1();
    return 0;
}
