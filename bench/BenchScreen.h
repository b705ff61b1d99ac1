#pragma once

// What the benchmarks of the screens share: the application on the offscreen platform with
// the kiosk's style, and the kiosk as the program entry starts it on a copy of the scale shop.
#include <QApplication>
#include <QString>
#include <memory>

#include "BenchDatabase.h"
#include "app/dm_main.h"

class TFmMain;

namespace bench {

// The application of a benchmark of the screens: the offscreen platform unless another is
// chosen, the kiosk's style applied once as the program entry does, and the private
// environment of UsePrivateEnvironment.
class ScreenApplication {
public:
    ScreenApplication(int& argc, char** argv);

private:
    QApplication app_;
};

// The whole program of a screen benchmark: the application, then run; an escaping error is
// printed under the program's name and ends it with status 1.
int RunScreenBenchmark(int& argc, char** argv, const char* name, void (*run)());

// The data module's view at start-up: the version line is not shown, so nothing waits; an
// error or an offered schema update is kept in error.
TdmView QuietDataModuleView(QString& error);

// Runs the event loop until it has nothing left to do: posted events, layouts, repaints.
void WaitUntilIdle();

// The kiosk started in a program folder: the data module, the schema checks and the main screen
// shown at its design size, with everything the first showing does done.
class ShownKiosk {
public:
    explicit ShownKiosk(const KioskFolder& folder);
    ~ShownKiosk();
    ShownKiosk(const ShownKiosk&) = delete;
    ShownKiosk& operator=(const ShownKiosk&) = delete;

    TFmMain& screen() { return *screen_; }
    Tdm& dataModule() { return *module_; }

    // The code's keys and Enter, delivered to the window's focus widget as a keyboard-wedge
    // scanner types them; returns when the window has handled the Enter key.
    void type(const QString& code);

private:
    QString error_;  // before the data module, whose view writes it
    std::unique_ptr<Tdm> module_;
    std::unique_ptr<TFmMain> screen_;
};

// The resident memory of this process, in bytes.
double ResidentMemory();
// The bytes of the heap (malloc and new) in use: what the arenas hand out and what large
// allocations map on their own. The database engine keeps its page cache in memory it maps
// itself, outside the heap.
double HeapInUse();

}  // namespace bench
