// Start-up of the kiosk at catalogue scale with nothing waiting in the import folder: the data
// module, the schema checks and the main screen up to its first paint, as the program entry
// runs them but without the splash's fixed wait; beside it, the raw attach of both databases
// that no start-up can avoid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "BenchScreen.h"
#include "app/dm_main.h"
#include "kiosk/fm_main.h"

namespace {

using Seconds = std::chrono::duration<double>;
using Moment = std::chrono::steady_clock::time_point;

const bench::ScaleShop& Shop() {
    static const bench::ScaleShop shop(bench::kCatalogueProducts, bench::kCataloguePromotions);
    return shop;
}

// Notes the first paint in the window. The window itself may never get a paint event, its
// opaque children covering it, so every widget's paint counts.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QWidget& window) : window_(window) { qApp->installEventFilter(this); }
    ~FirstPaint() override { qApp->removeEventFilter(this); }

    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &window_)
            painted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    const QWidget& window_;
};

// Runs the event loop until the window has been painted once.
void WaitForFirstPaint(const FirstPaint& paint) {
    const QDeadlineTimer deadline(10000);
    while (!paint.painted) {
        if (deadline.hasExpired()) throw std::runtime_error("The main screen was never painted");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The steps of a start-up, each timed on its own, and the whole.
enum Step { DataModule, Checks, Screen, FirstShown, Steps };
const char* const kStepNames[Steps] = {"data module (kiosk attach)", "DBChecks (admin attach)",
                                       "main screen built", "shown and painted"};
struct StartupTimes {
    std::array<bench::Samples, Steps> step{};
    bench::Samples total;  // the first is the process's: Qt loads its fonts and styles then
} gStartup;
bench::Samples gRawAttach;

// A kiosk started as the program entry starts it, noting when each step ends; it closes the
// screen and the data module when it goes.
class StartedKiosk {
public:
    explicit StartedKiosk(std::array<Moment, Steps>& ends) {
        module_ = std::make_unique<Tdm>(Shop().folder().programPath(),
                                        bench::QuietDataModuleView(error_));
        ends[DataModule] = std::chrono::steady_clock::now();
        if (!error_.isEmpty()) throw std::runtime_error(error_.toStdString());
        if (module_->DBChecks() <= 0) throw std::runtime_error("DBChecks did not pass");
        ends[Checks] = std::chrono::steady_clock::now();
        screen_ = std::make_unique<TFmMain>(*module_);
        ends[Screen] = std::chrono::steady_clock::now();
        const FirstPaint paint(*screen_);
        screen_->showFullScreen();
        WaitForFirstPaint(paint);
        ends[FirstShown] = std::chrono::steady_clock::now();
    }
    ~StartedKiosk() {
        screen_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    StartedKiosk(const StartedKiosk&) = delete;
    StartedKiosk& operator=(const StartedKiosk&) = delete;

private:
    QString error_;  // before the data module, whose view writes it
    std::unique_ptr<Tdm> module_;
    std::unique_ptr<TFmMain> screen_;
};

void StartupToMainScreen(benchmark::State& state) {
    Shop();
    StartupTimes times;
    try {
        for (auto _ : state) {
            std::array<Moment, Steps> ends{};
            const Moment start = std::chrono::steady_clock::now();
            auto kiosk = std::make_unique<StartedKiosk>(ends);
            state.PauseTiming();
            Moment from = start;
            for (int step = 0; step < Steps; ++step) {
                times.step[size_t(step)].add(Seconds(ends[size_t(step)] - from).count());
                from = ends[size_t(step)];
            }
            times.total.add(Seconds(ends[FirstShown] - start).count());
            kiosk.reset();
            state.ResumeTiming();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    gStartup = times;
}

// Both attachments of a start-up and nothing else; each iteration detaches again untimed, so
// the engine opens the database files afresh, as it does when the kiosk starts.
void RawAttachBothDatabases(benchmark::State& state) {
    const bench::KioskFolder& folder = Shop().folder();
    bench::Samples seconds;
    try {
        for (auto _ : state) {
            fb::Connection kiosk;
            fb::Connection admin;
            folder.configure(kiosk);
            folder.configureAdmin(admin);
            const Moment start = std::chrono::steady_clock::now();
            kiosk.connect();
            admin.connect();
            seconds.add(Seconds(std::chrono::steady_clock::now() - start).count());
            state.PauseTiming();
            kiosk.disconnect();
            admin.disconnect();
            state.ResumeTiming();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    gRawAttach = seconds;
}

BENCHMARK(StartupToMainScreen)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(RawAttachBothDatabases)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// The steps' medians, then the row of the table.
void ReportStartup() {
    if (gStartup.total.empty()) return;
    std::printf(
        "\nstart-up to the first shown main screen, less the splash wait, median by step\n");
    for (int step = 0; step < Steps; ++step)
        std::printf("  %-28s %8.1f ms\n", kStepNames[step],
                    1000 * gStartup.step[size_t(step)].median());
    const std::string note =
        QStringLiteral("the process's first start-up %1 ms; raw: attaching both databases")
            .arg(1000 * gStartup.total.values().front(), 0, 'f', 1)
            .toStdString();
    bench::Report(bench::MakeRow("startup", gStartup.total, &gRawAttach, note));
}

}  // namespace

int main(int argc, char** argv) {
    bench::ScreenApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::Progress("startup", "start-ups of the kiosk to its first painted main screen");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReportStartup();
    return 0;
}
