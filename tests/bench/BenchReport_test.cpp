#include "BenchReport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

bench::Samples Of(std::initializer_list<double> values) {
    bench::Samples samples;
    for (const double v : values) samples.add(v);
    return samples;
}

TEST(BenchReport, PercentilesAreNearestRankValuesOfTheSamples) {
    const bench::Samples twenty =
        Of({20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    EXPECT_EQ(twenty.median(), 10);
    EXPECT_EQ(twenty.p95(), 19);
    EXPECT_EQ(twenty.percentile(100), 20);
    EXPECT_EQ(Of({7}).p95(), 7);
    EXPECT_EQ(Of({3, 1, 2}).median(), 2);
    EXPECT_EQ(bench::Samples().median(), 0);
}

TEST(BenchReport, ARowMeetsItsTargetOnlyWithinEveryLimit) {
    struct Case {
        const char* key;
        double median;
        std::optional<double> p95;
        std::optional<double> baseline;
        bool met;
    };
    const Case cases[] = {
        {"scan", 0.0021, 0.003, 0.0016, true},
        {"scan", 0.0029, 0.004, 0.0015, false},        // 1.93 times its raw work
        {"scan", 0.0031, 0.004, 0.0030, false},        // over 3 ms
        {"scan", 0.0021, 0.003, std::nullopt, false},  // no raw work to compare with
        {"scan_pixels", 0.012, 0.030, std::nullopt, true},
        {"scan_pixels", 0.012, 0.040, std::nullopt, false},  // p95 over 33 ms
        {"import", 6.0, std::nullopt, 5.5, true},            // 92 % of the raw rate
        {"import", 6.0, std::nullopt, 5.0, false},           // 83 %
        {"long_day_growth", 4.9e6, std::nullopt, std::nullopt, true},
        {"long_day_growth", 5.0e6, std::nullopt, std::nullopt, false},
    };
    for (const Case& c : cases) {
        bench::Row row;
        row.key = c.key;
        row.median = c.median;
        row.p95 = c.p95;
        row.baseline = c.baseline;
        row.samples = 10;
        EXPECT_EQ(row.met(), c.met) << c.key << " " << c.median;
    }
}

TEST(BenchReport, RowLinesReadBackAsTheRowsTheyWereWrittenFrom) {
    bench::Row row =
        bench::MakeRow("startup", Of({0.03, 0.02, 0.025}), nullptr, "first\tstart-up\n31 ms");
    row.load = 2.5;
    const bench::Row back = bench::ParseRowLine(bench::RowLine(row));
    EXPECT_EQ(back.key, "startup");
    EXPECT_EQ(back.median, 0.025);
    EXPECT_EQ(back.p95, 0.03);
    EXPECT_FALSE(back.baseline);
    EXPECT_EQ(back.samples, 3);
    EXPECT_EQ(back.load, 2.5);
    EXPECT_EQ(back.note, "first start-up 31 ms");

    EXPECT_THROW(bench::ParseRowLine("no_such_scenario\t1\t-\t-\t1\t0\t"), std::invalid_argument);
    EXPECT_THROW(bench::ParseRowLine("scan\t1\t2"), std::invalid_argument);
}

TEST(BenchReport, TheTableListsEveryScenarioInOrderWithTheLastRowOfEach) {
    const bench::Row early = bench::MakeRow("scan", Of({0.009}), nullptr);
    bench::Samples raw = Of({0.0016});
    const bench::Row late = bench::MakeRow("scan", Of({0.0021}), &raw);
    const std::string table = bench::MarkdownTable({early, late});
    EXPECT_NE(table.find("| Scan through the core, 50-line sale | 2.10 ms | 2.10 ms | 1.60 ms | "
                         "1.31 | median < 3 ms and ≤ 1.5 × raw | yes |"),
              std::string::npos)
        << table;
    EXPECT_EQ(table.find("9.00 ms"), std::string::npos);
    EXPECT_NE(table.find("| Import of the full-scale file | — | — | — | — |"), std::string::npos);
    EXPECT_LT(table.find("Scan through the core"), table.find("Long day: memory growth"));
}

// A benchmark's state as TimeEachStep uses it: so many iterations, and what it was told.
class FakeState {
public:
    explicit FakeState(int iterations) : iterations_(iterations) {}
    struct Iterator {
        int left;
        bool operator!=(const Iterator& other) const { return left != other.left; }
        Iterator& operator++() {
            --left;
            return *this;
        }
        int operator*() const { return left; }
    };
    Iterator begin() const { return {iterations_}; }
    Iterator end() const { return {0}; }
    void PauseTiming() { log += "pause "; }
    void ResumeTiming() { log += "resume "; }
    void SkipWithError(const char* message) { skipped = message; }

    std::string log;
    std::string skipped;

private:
    int iterations_;
};

TEST(BenchReport, EachStepIsTimedWithItsUntimedWorkAround) {
    FakeState state(3);
    bench::StepTimes times;
    times.wall.add(99);  // samples of an earlier run are dropped
    std::string order;
    bench::TimeEachStep(
        state, times, [&] { order += "step "; },
        {.before = [&] { order += "before "; }, .after = [&] { order += "after "; }});
    EXPECT_EQ(times.wall.size(), 3);
    EXPECT_EQ(times.cpu.size(), 3);
    for (const double seconds : times.wall.values()) EXPECT_GE(seconds, 0);
    EXPECT_EQ(order, "before step after before step after before step after ");
    EXPECT_EQ(state.log,
              "pause resume pause resume pause resume pause resume pause resume "
              "pause resume ");
    EXPECT_EQ(state.skipped, "");
}

TEST(BenchReport, AStepThatFailsSkipsTheBenchmarkWithoutSamples) {
    FakeState state(5);
    bench::StepTimes times;
    int steps = 0;
    bench::TimeEachStep(state, times, [&] {
        if (++steps == 2) throw std::runtime_error("The scan did not show a 51-line sale");
    });
    EXPECT_EQ(steps, 2);
    EXPECT_TRUE(times.wall.empty());
    EXPECT_TRUE(times.cpu.empty());
    EXPECT_EQ(state.log, "");  // nothing around the steps, nothing paused
    EXPECT_EQ(state.skipped, "The scan did not show a 51-line sale");
}

}  // namespace
