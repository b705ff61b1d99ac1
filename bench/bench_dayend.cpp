// The day-end export of a busy day at catalogue scale: 10,000 sales of five lines and one
// promotion hit each, written to its file, beside the same reading of the day alone (the three
// statements of the export, every row fetched and every field read).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <stdexcept>
#include <vector>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "backoffice/uDayEnd.h"
#include "db/fbQuery.h"

namespace {

constexpr int kSales = 10000;
constexpr int kLinesPerSale = 5;
const QDateTime kDayStart(QDate(2024, 3, 13), QTime(6, 0));
const QDateTime kBoundary = kDayStart.addDays(1);

// A scale shop whose one open trading day holds the sales, spread over the day.
class BusyDay {
public:
    BusyDay() : shop_(bench::kCatalogueProducts, bench::kCataloguePromotions) {
        shop_.folder().configure(conx_);
        conx_.connect();
        QDir().mkpath(shop_.folder().dataFolder() + QStringLiteral("Export/"));
        fillDay();
    }

    fb::Connection& connection() { return conx_; }
    const QString& dataFolder() const { return shop_.folder().dataFolder(); }
    int dayEndId() const { return dayEndId_; }

private:
    std::vector<int> ids(const QString& sql) {
        fb::Query q(conx_);
        q.setSQL(sql);
        q.open();
        std::vector<int> result;
        for (; !q.eof(); q.next()) result.push_back(q.field(0).toInt());
        return result;
    }

    void fillDay() {
        const std::vector<int> products = ids(QStringLiteral("select SID from TBL_PRODUCTS"));
        const std::vector<int> promotions =
            ids(QStringLiteral("select PROMO_ID from TBL_PROMOTIONS"));
        if (products.empty() || promotions.empty()) throw std::runtime_error("No scale shop");
        fb::Transaction unit(conx_);
        fb::Query day(unit), header(unit), line(unit), hit(unit);
        day.setSQL(QStringLiteral("insert into TBL_DAY_ENDS (DAY_START) values (:D1)"));
        day.bind(QStringLiteral("D1"), kDayStart);
        day.execSQL();
        day.setSQL(QStringLiteral("select max(DAY_END_ID) from TBL_DAY_ENDS"));
        day.open();
        dayEndId_ = day.field(0).toInt();
        day.close();
        header.setSQL(
            QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START, SALE_END, STATUS)"
                           " values (:SID, :D1, :D1, 0)"));
        line.setSQL(QStringLiteral(
            "insert into TBL_SALES_LINES (SALES_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE,"
            " SALES_QTY, SALES_AMT, VAT_RATE) values (:SID, 1, :PID, :PID, :PR, :BC, 1, :AMT, "
            "23)"));
        hit.setSQL(QStringLiteral(
            "insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, PROMO_LINE, DEPT_ID, SID, QTY,"
            " ORIGINAL_VALUE, DISCOUNTED_VALUE, VAT_RATE, HIT_NUMBER)"
            " values (:SID, :PR, 1, 1, :PID, 1, 2.5, 2, 23, 1)"));
        const qint64 secondsPerSale = kDayStart.secsTo(kBoundary) / kSales;
        for (int sale = 1; sale <= kSales; ++sale) {
            header.bind(QStringLiteral("SID"), sale);
            header.bind(QStringLiteral("D1"), kDayStart.addSecs(sale * secondsPerSale - 1));
            header.execSQL();
            for (int n = 0; n < kLinesPerSale; ++n) {
                const int sid = products[size_t(sale * 7 + n * 3331) % products.size()];
                line.bind(QStringLiteral("SID"), sale);
                line.bind(QStringLiteral("PID"), sid);
                line.bind(QStringLiteral("PR"),
                          QStringLiteral("Product %1, 500g \"Value\"").arg(sid));
                line.bind(QStringLiteral("BC"), QString::number(5000000000000LL + sid));
                line.bind(QStringLiteral("AMT"), 0.5 + (sid % 400) / 100.0);
                line.execSQL();
            }
            hit.bind(QStringLiteral("SID"), sale);
            hit.bind(QStringLiteral("PR"), promotions[size_t(sale) % promotions.size()]);
            hit.bind(QStringLiteral("PID"), products[size_t(sale * 7) % products.size()]);
            hit.execSQL();
        }
        unit.commit();
    }

    bench::ScaleShop shop_;
    fb::Connection conx_;
    int dayEndId_ = 0;
};

BusyDay& Day() {
    static BusyDay day;
    return day;
}

// Clock and processor time of every timed step.
bench::StepTimes gExport;
bench::StepTimes gQueries;

void ExportDayEnd(benchmark::State& state) {
    BusyDay& day = Day();
    TDayEnd dayEnd(day.connection(), day.dataFolder());
    const QString file = DayEndExportFileName(dayEnd.exportFolder(), day.dayEndId());
    bench::TimeEachStep(state, gExport, [&] {
        if (!dayEnd.ExportDayEnd(day.dayEndId(), kBoundary, kBoundary))
            throw std::runtime_error("The export failed");
    });
    QFile written(file);
    written.open(QIODevice::ReadOnly);
    const qsizetype records = written.readAll().count("\r\n");
    if (records != 2 + kSales * (2 + kLinesPerSale))
        state.SkipWithError("The export file does not hold every record");
}

void ExportQueriesAlone(benchmark::State& state) {
    BusyDay& day = Day();
    bench::TimeEachStep(state, gQueries, [&] {
        qint64 fields = 0;
        for (const QString& sql : DayEndExportStatements()) {
            fb::Query q(day.connection());
            q.setSQL(sql);
            q.bind(QStringLiteral("D1"), kDayStart);
            q.bind(QStringLiteral("D2"), kBoundary);
            q.open();
            for (; !q.eof(); q.next())
                for (int i = 0; i < q.fieldCount(); ++i) fields += !q.field(i).isNull();
        }
        benchmark::DoNotOptimize(fields);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (const auto& [name, function] :
         {std::pair{"ExportDayEnd/10000_sales", &ExportDayEnd},
          std::pair{"ExportQueriesAlone/10000_sales", &ExportQueriesAlone}})
        benchmark::RegisterBenchmark(name, function)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5);
    bench::Progress("day_end", "ExportDayEnd of a day of 10,000 sales");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!gExport.wall.empty() && !gQueries.wall.empty())
        bench::Report(bench::MakeRow(
            "day_end", gExport.wall, &gQueries.wall,
            QStringLiteral("%1 sales, %2 lines, %3 hits; processor time %4 against %5 raw; raw: "
                           "the export's three statements with every row fetched and read")
                .arg(kSales)
                .arg(kSales * kLinesPerSale)
                .arg(kSales)
                .arg(QString::fromStdString(
                    bench::FormatValue(bench::Quantity::Time, gExport.cpu.median())))
                .arg(QString::fromStdString(
                    bench::FormatValue(bench::Quantity::Time, gQueries.cpu.median())))
                .toStdString()));
    return 0;
}
