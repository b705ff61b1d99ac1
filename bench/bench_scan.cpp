// A scan as the main screen makes it, from the barcode lookup to the refreshed totals and line
// list, onto a 50-line sale at catalogue scale, beside the database work no scan can avoid: one
// barcode probe (joined to its product) and one line insert, prepared, on the same connection.
// Codes are taken from the start, the middle and the end of the catalogue, and the same scans
// run on a 1,000-product shop, to show that a scan does not grow with the catalogue.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "BenchDatabase.h"
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
    bool confirmAge(int) override { return true; }
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
        lastSaleLine_ = lastLineId();
        probe_.setSQL(
            QStringLiteral("select b.SID, p.DESCRIPTION, p.DEPT_ID, p.SKU, p.SP, p.VAT_RATE\r\n"
                           "  from TBL_BARCODES b\r\n"
                           "  left join TBL_PRODUCTS p on p.SID = b.SID\r\n"
                           " where cast(b.BARCODE as Numeric(18,0)) = :BC"));
        insert_.setSQL(QStringLiteral(
            "insert into TBL_SALES_LINES\r\n"
            "(SALES_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE, SALES_QTY, SALES_AMT, VAT_RATE) "
            "values\r\n"
            "(:SALES_ID, :DEPT_ID, :SID, :SKU, :PRODUCT, :BARCODE, 1, :SALES_AMT, :VAT_RATE)"));
        insert_.bind(QStringLiteral("SALES_ID"), salesId_);
    }

    int products() const { return shop_.products(); }
    QString barcodeOf(int sid) { return sale_.FirstBarcode(sid); }

    // TFmMain::BarcodeScanned without its widgets: lookup, adding, totals and the line list.
    void scan(const QString& text) {
        const QString code = CleanBarcode(text);
        QString description;
        const qint64 sid = sale_.LookupBarcode(code, description);
        if (sid <= 0) throw std::runtime_error("Barcode Not Found: " + code.toStdString());
        sale_.AddProductToSale(salesId_, previousSalesId_, int(sid), code, 1, description, view_);
        totals_ = sale_.ReadTotals(salesId_);
        sale_.LoadLines(salesId_, cdsTX_, [](int) { return QString(); });
    }

    // The raw work of a scan: the product of the code, and the line that sells it.
    void rawScan(qint64 code) {
        probe_.bind(QStringLiteral("BC"), code);
        probe_.open();
        if (probe_.eof()) throw std::runtime_error("Barcode Not Found: " + std::to_string(code));
        insert_.bind(QStringLiteral("SID"), probe_.field(0));
        insert_.bind(QStringLiteral("PRODUCT"), probe_.field(1));
        insert_.bind(QStringLiteral("DEPT_ID"), probe_.field(2));
        insert_.bind(QStringLiteral("SKU"), probe_.field(3));
        insert_.bind(QStringLiteral("SALES_AMT"), probe_.field(4));
        insert_.bind(QStringLiteral("VAT_RATE"), probe_.field(5));
        insert_.bind(QStringLiteral("BARCODE"), QString::number(code));
        probe_.close();
        insert_.execSQL();
    }

    // What the last scan showed: rows of the line list and the item count.
    int shownLines() const { return cdsTX_.rowCount(); }
    int shownItems() const { return totals_.itemCount; }

    // Deletes the line the last scan added, so the sale has its 50 lines again.
    void restoreSale() {
        fb::Query q(conx_);
        q.setSQL(QStringLiteral(
            "delete from TBL_SALES_LINES where SALES_ID = :SID and SALES_LINE_ID > :LAST"));
        q.bind(QStringLiteral("SID"), salesId_).bind(QStringLiteral("LAST"), lastSaleLine_);
        q.execSQL();
        if (q.rowsAffected() != 1) throw std::runtime_error("The scan did not add one line");
        // Deleted lines are this benchmark's own doing. While the connection's transaction is
        // only ever committed with retaining, the engine collects none of them: they would
        // stay in the SALES_ID index and slow every later scan of this sale. Ending the
        // transaction lets them go; the next one is started before the clock runs again.
        conx_.commit();
        conx_.transaction();
    }

private:
    qint64 lastLineId() {
        fb::Query q(conx_);
        q.setSQL(QStringLiteral("select max(SALES_LINE_ID) from TBL_SALES_LINES"));
        q.open();
        return q.field(0).toInt64();
    }

    bench::ScaleShop shop_;
    fb::Connection conx_;
    fb::Query q1_{conx_};
    fb::Query q2_{conx_};
    NoonClock clock_;
    TSale sale_{q1_, q2_, &clock_};
    AcceptingView view_;
    int salesId_ = -1;
    int previousSalesId_ = -1;
    TSaleTotals totals_;
    TMemTable cdsTX_;
    qint64 lastSaleLine_ = 0;
    fb::Query probe_{conx_};
    fb::Query insert_{conx_};
};

// Each shop is built on first use and kept for every benchmark on it.
Checkout& CheckoutOf(int products) {
    static std::map<int, std::unique_ptr<Checkout>> checkouts;
    auto& checkout = checkouts[products];
    if (!checkout) checkout = std::make_unique<Checkout>(products);
    return *checkout;
}

// Seconds per step on the clock and of the process's processor time: what the clock shows
// beyond the processor time is mostly the wait for the disk to take each commit.
struct StepTime {
    double wall = 0;
    double cpu = 0;
};
// Per scan, by shop size and by position of the scanned product.
struct Times {
    StepTime scan;
    StepTime raw;
};
std::map<int, std::map<std::string, Times>, std::greater<>> gTimes;

// Times step once per iteration, then checks it and restores the sale with the clock stopped.
// Returns the mean time of a step.
template <class Step, class Check>
StepTime TimePerStep(benchmark::State& state, Checkout& checkout, Step step, Check check) {
    StepTime total;
    try {
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpuStart = std::clock();
            step();
            total.cpu += double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            total.wall +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.PauseTiming();
            check();
            checkout.restoreSale();
            state.ResumeTiming();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return {};
    }
    const double n = double(state.iterations());
    return {total.wall / n, total.cpu / n};
}

void ScanOnSale(benchmark::State& state, int products, const Position& position) {
    Checkout& checkout = CheckoutOf(products);
    const QString code = checkout.barcodeOf(position.sid(products));
    gTimes[products][position.name].scan = TimePerStep(
        state, checkout, [&] { checkout.scan(code); },
        [&] {
            if (checkout.shownLines() != kSaleLines + 1 || checkout.shownItems() != kSaleLines + 1)
                throw std::runtime_error("The scan did not show a 51-line sale");
        });
}

void RawProbeAndInsert(benchmark::State& state, int products, const Position& position) {
    Checkout& checkout = CheckoutOf(products);
    const qint64 code = checkout.barcodeOf(position.sid(products)).toLongLong();
    gTimes[products][position.name].raw = TimePerStep(
        state, checkout, [&] { checkout.rawScan(code); }, [] {});
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
}

StepTime Mean(const std::map<std::string, Times>& byPosition, StepTime Times::*member) {
    StepTime sum;
    for (const auto& [name, times] : byPosition) {
        sum.wall += (times.*member).wall;
        sum.cpu += (times.*member).cpu;
    }
    const double n = double(std::max<size_t>(byPosition.size(), 1));
    return {sum.wall / n, sum.cpu / n};
}

void PrintRow(int products, const std::string& code, const Times& times) {
    if (times.scan.wall <= 0 || times.raw.wall <= 0) return;
    std::printf("%9d  %-6s %8.3f %8.3f %6.1f   %8.3f %8.3f %6.1f\n", products, code.c_str(),
                1000 * times.scan.wall, 1000 * times.raw.wall, times.scan.wall / times.raw.wall,
                1000 * times.scan.cpu, 1000 * times.raw.cpu, times.scan.cpu / times.raw.cpu);
}

void PrintSummary() {
    std::printf(
        "\nscan onto a 50-line sale, per scan; raw: the barcode probe and the line insert\n"
        "%9s  %-6s %8s %8s %6s   %8s %8s %6s\n",
        "products", "code", "scan ms", "raw ms", "ratio", "scan cpu", "raw cpu", "ratio");
    for (const auto& [products, byPosition] : gTimes) {
        for (const auto& [name, times] : byPosition) PrintRow(products, name, times);
        PrintRow(products, "mean", {Mean(byPosition, &Times::scan), Mean(byPosition, &Times::raw)});
    }
    const auto large = gTimes.find(bench::kCatalogueProducts);
    const auto small = gTimes.find(kSmallShopProducts);
    if (large != gTimes.end() && small != gTimes.end()) {
        const StepTime a = Mean(large->second, &Times::scan);
        const StepTime b = Mean(small->second, &Times::scan);
        if (b.wall > 0 && b.cpu > 0)
            std::printf("scan at %d products / at %d products: %.2f (cpu %.2f)\n",
                        bench::kCatalogueProducts, kSmallShopProducts, a.wall / b.wall,
                        a.cpu / b.cpu);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterScans();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
