// A scan as the customer sees it: the barcode's keystrokes and Enter delivered to the real main
// window on the offscreen platform, timed until the window has repainted with the new line and
// sub-total (the event loop idle, then the window grabbed), on a 50-line sale at catalogue
// scale; beside it, the database work no scan can avoid, on the kiosk's own connection.
#include <QLabel>
#include <QPixmap>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "BenchReport.h"
#include "BenchSale.h"
#include "BenchScreen.h"
#include "app/uSpeech.h"
#include "kiosk/fm_main.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_ScreenSpeech.h"
#include "ui/wg_Voice.h"

namespace {

constexpr int kSaleLines = 50;
constexpr int kScannedCodes = 10;  // taken in turn by the timed scans
constexpr int kScans = 200;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A scan's time to pixels and its parts: the keys up to the handled Enter, the event loop
// until idle (layouts and the repaint), and the grab of the window.
struct ScanTimes {
    bench::Samples total;
    bench::Samples keys;
    bench::Samples idle;
    bench::Samples grab;
};

void CheckShown(TFmMain& screen, int lines) {
    if (screen.transactionLines().rowCount() != lines ||
        screen.findChild<QLabel*>(QStringLiteral("lbItemCount"))->text() != QString::number(lines))
        throw std::runtime_error("The screen does not show a sale of " + std::to_string(lines) +
                                 " lines");
}

ScanTimes ScansToPixels(bench::ShownKiosk& kiosk, const QStringList& codes, bench::HeldSale& sale) {
    ScanTimes times;
    TFmMain& screen = kiosk.screen();
    for (int n = -1; n < kScans; ++n) {  // the first round is not counted: caches fill then
        const QString& code = codes[n < 0 ? 0 : n % codes.size()];
        const Clock::time_point start = Clock::now();
        kiosk.type(code);
        const Clock::time_point typed = Clock::now();
        bench::WaitUntilIdle();
        const Clock::time_point idle = Clock::now();
        const QPixmap pixels = screen.grab();
        const Clock::time_point grabbed = Clock::now();
        if (pixels.isNull()) throw std::runtime_error("The window could not be grabbed");
        CheckShown(screen, kSaleLines + 1);
        if (n >= 0) {
            times.total.add(Seconds(start, grabbed));
            times.keys.add(Seconds(start, typed));
            times.idle.add(Seconds(typed, idle));
            times.grab.add(Seconds(idle, grabbed));
        }
        sale.restore();
        screen.RefreshTransaction();
        bench::WaitUntilIdle();
    }
    return times;
}

bench::Samples RawScans(bench::ShownKiosk& kiosk, const QStringList& codes, bench::HeldSale& sale) {
    bench::RawScan raw(kiosk.dataModule().conx, kiosk.screen().salesID());
    bench::Samples times;
    for (int n = -1; n < kScans; ++n) {
        const qint64 code = codes[n < 0 ? 0 : n % codes.size()].toLongLong();
        const Clock::time_point start = Clock::now();
        raw.run(code);
        const double seconds = Seconds(start, Clock::now());
        if (n >= 0) times.add(seconds);
        sale.restore();
    }
    return times;
}

std::string Ms(const bench::Samples& samples) {
    return bench::FormatValue(bench::Quantity::Time, samples.median());
}

// The same scans with the kiosk speaking each line through its real voice and showing large,
// high-contrast text.
ScanTimes AccessibleScansToPixels(bench::ShownKiosk& kiosk, const QStringList& codes,
                                  bench::HeldSale& sale) {
    TVoice voice;
    TScreenSpeech reading;
    TSpeaker::instance().setSink(&voice);
    TAccessModes& modes = TAccessModes::instance();
    modes.setSpeech(true);
    modes.setLargeText(true);
    bench::WaitUntilIdle();
    ScanTimes times;
    try {
        times = ScansToPixels(kiosk, codes, sale);
    } catch (...) {
        modes.endOfSale();
        TSpeaker::instance().setSink(nullptr);
        throw;
    }
    modes.endOfSale();
    TSpeaker::instance().setSink(nullptr);
    return times;
}

std::string Parts(const ScanTimes& times) {
    return "median of its parts: keys to the handled Enter " + Ms(times.keys) +
           ", event loop to idle " + Ms(times.idle) + ", grab of the window " + Ms(times.grab);
}

void Run() {
    const bench::ScaleShop shop(bench::kCatalogueProducts, bench::kCataloguePromotions);
    const QStringList codes = bench::UnrestrictedCodes(shop.folder(), kSaleLines + kScannedCodes);
    bench::Progress("scan_pixels", "starting the kiosk on the full-scale shop");
    bench::ShownKiosk kiosk(shop.folder());
    bench::Progress("scan_pixels", "scanning a 50-line sale at the window");
    for (int line = 0; line < kSaleLines; ++line) {
        kiosk.type(codes[line]);
        bench::WaitUntilIdle();
    }
    CheckShown(kiosk.screen(), kSaleLines);
    bench::HeldSale sale(kiosk.dataModule().conx, kiosk.screen().salesID());
    const QStringList scanned = codes.mid(kSaleLines);
    bench::Progress("scan_pixels", "timing " + std::to_string(kScans) + " scans to pixels");
    const ScanTimes times = ScansToPixels(kiosk, scanned, sale);
    bench::Progress("scan_pixels", "timing the raw database work of as many scans");
    const bench::Samples raw = RawScans(kiosk, scanned, sale);
    bench::Report(bench::MakeRow("scan_pixels", times.total, &raw, Parts(times)));
    bench::Progress("scan_pixels", "timing as many scans with speech and large text on");
    const ScanTimes accessible = AccessibleScansToPixels(kiosk, scanned, sale);
    bench::Report(bench::MakeRow("scan_pixels_access", accessible.total, &raw, Parts(accessible)));
}

}  // namespace

int main(int argc, char** argv) {
    return bench::RunScreenBenchmark(argc, argv, "bench_pixels", Run);
}
