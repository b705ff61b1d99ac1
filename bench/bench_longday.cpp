// A long day at the kiosk: 2,000 scans at the real main window in sales of 20 lines, each sale
// paid by card and the screen reset (which runs the housekeeping). Reported: the resident memory
// at the end beside that after start-up; what can leak, the heap's growth over the day and the
// resident memory's growth over the last 40 sales, which levels off once the day's caches are
// full; and beside them the bound of the database engine's page cache, which fills as the day
// reads products and is no growth. The scans are timed as well, to show that the last of the
// day are as quick as the first.
#include <QFile>
#include <QPushButton>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "BenchReport.h"
#include "BenchSale.h"
#include "BenchScreen.h"
#include "KioskInput.h"
#include "app/dm_main.h"
#include "db/fbQuery.h"
#include "kiosk/fm_main.h"
#include "sale/fm_Info.h"

namespace {

constexpr int kScans = 2000;
constexpr int kSaleLines = 20;
constexpr int kSales = kScans / kSaleLines;
constexpr int kTailSales = 40;  // the end of the day, where the memory should have levelled off

using Clock = std::chrono::steady_clock;

// The simulated card terminal accepts every card at once: the customer's and the acquirer's
// time is no part of the kiosk's day.
void AcceptEveryCard(const Tdm& dataModule) {
    QFile file(dataModule.DataFolder + QStringLiteral("PinPad.ini"));
    const QByteArray settings =
        "[PinPad]\nTerminal=simulator\nInteractive=false\nResponseCode=1\nCardEnquiryDelayMs="
        "0\nAuthoriseDelayMs=0\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(settings) != settings.size())
        throw std::runtime_error("Cannot write " + file.fileName().toStdString());
}

// Pays the sale on screen as a customer does: the pay button (the promotions are worked out),
// "Chip && Pin", and no receipt; the kiosk then returns to its default state.
void PayForSale(bench::ShownKiosk& kiosk) {
    TFmMain& screen = kiosk.screen();
    ModalScript script(30000);
    script.on<TfmInfoBox>(
        [](TfmInfoBox& box) { box.findChild<QPushButton*>(QStringLiteral("cmNo"))->click(); });
    Touch(screen.findChild<QPushButton*>(QStringLiteral("cmFinishAndPay")));
    bench::WaitUntilIdle();
    Touch(screen.findChild<QWidget*>(QStringLiteral("cmMOPChipAndPIN")));
    bench::WaitUntilIdle();
    if (!script.done() || script.rejected() > 0 || screen.salesID() > 0)
        throw std::runtime_error("A sale was not paid");
}

// The database engine's own figures for the kiosk's database, read on the kiosk's attachment
// in a transaction of their own, so each reading is a fresh snapshot.
class EngineFigures {
public:
    explicit EngineFigures(fb::Connection& conx) : conx_(conx) {}

    // The most its page cache can hold: its pages times their size.
    double pageCacheBound() {
        return value(QStringLiteral("select MON$PAGE_BUFFERS * MON$PAGE_SIZE from MON$DATABASE"));
    }
    // The bytes of the pages read from the database file into the cache since it was opened.
    double bytesRead() {
        return value(
            QStringLiteral("select io.MON$PAGE_READS * d.MON$PAGE_SIZE from MON$DATABASE d"
                           " join MON$IO_STATS io on io.MON$STAT_ID = d.MON$STAT_ID"));
    }

private:
    // The monitoring tables are a snapshot of their transaction: each reading has its own.
    double value(const QString& sql) {
        fb::Transaction reading(conx_);
        fb::Query q(reading);
        q.setSQL(sql);
        q.open();
        const double v = q.field(0).toDouble();
        q.close();
        reading.commit();
        return v;
    }

    fb::Connection& conx_;
};

std::string Mb(double bytes) {
    return bench::FormatValue(bench::Quantity::Memory, bytes);
}

bench::Samples Part(const bench::Samples& samples, int from, int count) {
    bench::Samples part;
    for (int n = from; n < from + count && n < samples.size(); ++n)
        part.add(samples.values()[size_t(n)]);
    return part;
}

void Run() {
    const bench::ScaleShop shop(bench::kCatalogueProducts, bench::kCataloguePromotions);
    // Chosen before the kiosk starts, so the database pages this reads are no part of its day.
    const QStringList codes = bench::UnrestrictedCodes(shop.folder(), kScans);
    if (bench::KeptDataMadeHere())
        bench::Progress("long_day",
                        "the full-scale data was made in this process: the memory figures hold "
                        "what making it left behind (run kpbenchdata first)");
    bench::Progress("long_day", "starting the kiosk on the full-scale shop (resident " +
                                    Mb(bench::ResidentMemory()) + ")");
    bench::ShownKiosk kiosk(shop.folder());
    AcceptEveryCard(kiosk.dataModule());
    EngineFigures engine(kiosk.dataModule().conx);
    const double readAtStart = engine.bytesRead();  // the first snapshot's memory stays
    const double atStart = bench::ResidentMemory();
    const double heapAtStart = bench::HeapInUse();
    double readBeforeTail = 0;
    bench::Progress("long_day", "started, resident " + Mb(atStart));
    bench::Progress("long_day", "scanning " + std::to_string(kSales) + " sales of " +
                                    std::to_string(kSaleLines) + " lines at the window");
    bench::Samples scans;
    std::vector<double> afterSale;
    for (int sale = 0; sale < kSales; ++sale) {
        for (int line = 0; line < kSaleLines; ++line) {
            const Clock::time_point start = Clock::now();
            kiosk.type(codes[sale * kSaleLines + line]);
            bench::WaitUntilIdle();
            scans.add(std::chrono::duration<double>(Clock::now() - start).count());
        }
        if (kiosk.screen().transactionLines().rowCount() != kSaleLines)
            throw std::runtime_error("A sale did not get its " + std::to_string(kSaleLines) +
                                     " lines");
        PayForSale(kiosk);
        afterSale.push_back(bench::ResidentMemory());
        if (sale == kSales - kTailSales - 1) readBeforeTail = engine.bytesRead();
        if ((sale + 1) % 20 == 0)
            bench::Progress("long_day",
                            std::to_string(sale + 1) + " sales, resident " + Mb(afterSale.back()));
    }
    const double atEnd = afterSale.back();
    const double heapGrowth = bench::HeapInUse() - heapAtStart;
    const double tailGrowth = atEnd - afterSale[size_t(kSales - kTailSales - 1)];
    const std::string trend = "resident after the 1st sale " + Mb(afterSale.front()) +
                              ", the 10th " + Mb(afterSale[9]) + ", the 50th " + Mb(afterSale[49]) +
                              ", the 60th " + Mb(afterSale[59]) + ", the 100th " + Mb(atEnd);
    const double readAtEnd = engine.bytesRead();
    const double pageCacheBound = engine.pageCacheBound();
    const std::string speed =
        "a scan to the idle window (no grab): median " +
        bench::FormatValue(bench::Quantity::Time, Part(scans, 0, 100).median()) +
        " over the first 100 scans, " +
        bench::FormatValue(bench::Quantity::Time, Part(scans, kScans - 100, 100).median()) +
        " over the last 100";
    bench::Report(bench::MakeValueRow(
        "long_day_memory", atEnd, atStart,
        "raw baseline: resident memory after start-up; " + trend +
            "; of the growth, the engine's page cache (bounded by its configuration at " +
            Mb(pageCacheBound) + ") is filled by the " + Mb(readAtEnd - readAtStart) +
            " of pages read over the day"));
    bench::Report(bench::MakeValueRow(
        "long_day_growth", heapGrowth, std::nullopt,
        "malloc and new in use at the end less at start-up, the page cache being outside the "
        "heap; " +
            speed));
    bench::Report(bench::MakeValueRow(
        "long_day_tail", tailGrowth, std::nullopt,
        "resident after the 100th sale less after the 60th, while the engine read " +
            Mb(readAtEnd - readBeforeTail) + " of pages into its full cache"));
}

}  // namespace

int main(int argc, char** argv) {
    return bench::RunScreenBenchmark(argc, argv, "bench_longday", Run);
}
