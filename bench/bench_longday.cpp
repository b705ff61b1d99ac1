// A long day at the kiosk: the resident memory after start-up and after 2,000 scans at the
// real main window in sales of 20 lines, each sale paid by card and the screen reset (which
// runs the housekeeping), and how much it grew. The scans are timed as well, to show that the last
// of the day are as quick as the first.
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
#include "kiosk/fm_main.h"
#include "sale/fm_Info.h"

namespace {

constexpr int kScans = 2000;
constexpr int kSaleLines = 20;
constexpr int kSales = kScans / kSaleLines;

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
    const double atStart = bench::ResidentMemory();
    const double heapAtStart = bench::HeapInUse();
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
        if ((sale + 1) % 20 == 0)
            bench::Progress("long_day",
                            std::to_string(sale + 1) + " sales, resident " + Mb(afterSale.back()));
    }
    const double atEnd = afterSale.back();
    const double heapGrowth = bench::HeapInUse() - heapAtStart;
    const std::string trend = "resident after the 1st sale " + Mb(afterSale.front()) +
                              ", the 10th " + Mb(afterSale[9]) + ", the 50th " + Mb(afterSale[49]) +
                              ", the 100th " + Mb(atEnd);
    const std::string speed =
        "a scan to the idle window (no grab): median " +
        bench::FormatValue(bench::Quantity::Time, Part(scans, 0, 100).median()) +
        " over the first 100 scans, " +
        bench::FormatValue(bench::Quantity::Time, Part(scans, kScans - 100, 100).median()) +
        " over the last 100";
    bench::Report(bench::MakeValueRow("long_day_memory", atEnd, atStart,
                                      "raw baseline: resident memory after start-up; " + trend));
    bench::Report(bench::MakeValueRow(
        "long_day_growth", atEnd - atStart, std::nullopt,
        "of it the heap " + Mb(heapGrowth) +
            ", the rest mostly the database engine's page cache filling with the pages the "
            "day's products are read from; " +
            speed));
}

}  // namespace

int main(int argc, char** argv) {
    return bench::RunScreenBenchmark(argc, argv, "bench_longday", Run);
}
