#pragma once

// How every benchmark reports: samples reduced to a median and a 95th percentile, set beside
// the raw database work measured in the same run and held to the scenario's target. Each
// program reports its rows; "./kiosk bench" gathers them into one table.
//
//   bench::StepTimes scans, raw;
//   bench::TimeEachStep(state, scans, [&] { ... });   // in each benchmark
//   bench::Report(bench::MakeRow("scan", scans.wall, &raw.wall));
//
// Rows go to standard output for the person watching, and, when KIOSK_BENCH_ROWS names a
// file, are appended to it one per line (tab-separated) for the table.
#include <chrono>
#include <ctime>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Values of one measured quantity, in seconds or bytes.
class Samples {
public:
    void add(double value) { values_.push_back(value); }
    void clear() { values_.clear(); }
    bool empty() const { return values_.empty(); }
    int size() const { return int(values_.size()); }
    const std::vector<double>& values() const { return values_; }

    double median() const { return percentile(50); }
    double p95() const { return percentile(95); }
    // The nearest-rank percentile: the smallest value with at least p % of the values at or
    // below it. 0 without values.
    double percentile(double p) const;

private:
    std::vector<double> values_;
};

// Seconds of each timed step, on the clock and in the process's processor time: what the clock
// shows beyond the processor time is mostly the wait for the disk to take each commit.
struct StepTimes {
    Samples wall;
    Samples cpu;
};

// Work around a timed step, done with the benchmark's timing paused and left out of the samples:
// before makes what the step needs, after checks what it did and puts back what it changed.
struct Untimed {
    std::function<void()> before;
    std::function<void()> after;
};

// Times step once per iteration of a benchmark's state (benchmark::State) into times, which it
// empties first. An exception skips the benchmark with its message and leaves no samples, so a
// failed scenario reports no row.
template <class State, class Step>
void TimeEachStep(State& state, StepTimes& times, Step step, const Untimed& untimed = {}) {
    times = {};
    try {
        for ([[maybe_unused]] auto _ : state) {
            if (untimed.before) {
                state.PauseTiming();
                untimed.before();
                state.ResumeTiming();
            }
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpuStart = std::clock();
            step();
            times.cpu.add(double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
            times.wall.add(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (untimed.after) {
                state.PauseTiming();
                untimed.after();
                state.ResumeTiming();
            }
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        times = {};
    }
}

enum class Quantity { Time, Memory };

// A scenario of the table and what it must achieve. A limit of 0 is no limit.
struct Target {
    std::string_view key;       // names the scenario in the rows
    std::string_view scenario;  // the table's first column
    Quantity quantity;
    double maxMedian;
    double maxP95;
    double maxRatio;  // median over the raw baseline's median
    std::string_view text;
};

// Every scenario of the table, in the table's order.
std::span<const Target> Targets();
// The scenario of key; throws for an unknown key.
const Target& TargetOf(std::string_view key);

// One row of the table.
struct Row {
    std::string key;
    double median = 0;
    std::optional<double> p95;
    std::optional<double> baseline;  // the raw work's median
    int samples = 0;
    std::string note;  // said below the table
    double load = 0;   // the machine's one-minute load average when the row was reported

    std::optional<double> ratio() const;
    // Whether the row meets every limit of its scenario's target.
    bool met() const;
};

// A row from the samples of a scenario and, when it has one, of its raw baseline.
Row MakeRow(std::string_view key, const Samples& measured, const Samples* baseline = nullptr,
            std::string note = {});
// A row of a single value (a memory reading), with an optional baseline value.
Row MakeValueRow(std::string_view key, double value, std::optional<double> baseline = {},
                 std::string note = {});

// Prints the row, with its target and whether it is met, and appends it to KIOSK_BENCH_ROWS;
// notes the load average of the moment in the row, as other work on the machine makes the
// figures noisy.
void Report(Row row);
// The one-minute load average, and the processors it is shared by.
double LoadAverage();
int Processors();
// A line telling the person watching what a scenario is doing now (building a shop, timing).
void Progress(std::string_view scenario, std::string_view text);

// The machine-readable form of a row, and back; throws for a line that is not one.
std::string RowLine(const Row& row);
Row ParseRowLine(const std::string& line);

// "2.14 ms", "6.02 s", "98.4 MB": a value of the quantity in the unit that reads best.
std::string FormatValue(Quantity quantity, double value);

// The Markdown table: one line per scenario of Targets() in order, with the last row reported
// for it; scenarios without a row say they were not measured.
std::string MarkdownTable(const std::vector<Row>& rows);
// The notes of the rows, one Markdown list item each, with the load of rows measured while
// other work ran.
std::string MarkdownNotes(const std::vector<Row>& rows);

}  // namespace bench
