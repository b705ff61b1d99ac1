// The import of a full-scale update file (100,000 products with two barcodes each, 1,000
// promotions) into a fresh kiosk database, beside the same rows inserted directly with
// prepared statements on the same kind of connection: the rate the import cannot beat.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "backoffice/uImportUpdates.h"
#include "db/fbQuery.h"

namespace {

const char* const kMasterTables[] = {
    "TBL_USERS",          "TBL_SALES_RESTRICTIONS", "TBL_BARCODES",
    "TBL_PRODUCTS",       "TBL_DEPARTMENTS",        "TBL_PRODUCT_GROUPS",
    "TBL_PROMO_PRODUCTS", "TBL_PROMO_TRIGGERS",     "TBL_PROMOTIONS"};

// The kept scale file with its content, and a folder for each round's fresh database.
struct Fixture {
    QTemporaryDir dir;
    bench::ScaleUpdateFile scale{bench::kCatalogueProducts, bench::kCataloguePromotions};
    const demo::UpdateContent& content = scale.content();
    const QString& file = scale.path();

    static Fixture& instance() {
        static Fixture fixture;
        return fixture;
    }
};

// A data folder with new, empty databases and a connection to the kiosk one.
class FreshDatabase {
public:
    explicit FreshDatabase(const QString& root) : kiosk_(root + QStringLiteral("/run")) {
        kiosk_.configure(conx);
        conx.connect();
    }
    const QString& folder() const { return kiosk_.dataFolder(); }

    qint64 masterRows() {
        qint64 rows = 0;
        fb::Query q(conx);
        for (const char* table : kMasterTables) {
            q.setSQL(QStringLiteral("select count(*) from %1").arg(QLatin1StringView(table)));
            q.open();
            rows += q.field(0).toInt64();
        }
        return rows;
    }

    fb::Connection conx;

private:
    bench::KioskFolder kiosk_;
};

// Seconds per round of the import and of the raw inserts, and the rows a round brought.
struct Rounds {
    bench::Samples import;
    bench::Samples raw;
    qint64 rows = 0;  // rows of the last round timed
} gRounds;

// Runs work on a fresh database in every round, timing work alone; sets the row counters
// and returns the seconds of each round.
bench::Samples TimeOnFreshDatabases(benchmark::State& state,
                                    const std::function<void(FreshDatabase&)>& prepare,
                                    const std::function<void(FreshDatabase&)>& work) {
    Fixture& fixture = Fixture::instance();
    qint64 rows = 0;
    std::unique_ptr<FreshDatabase> db;
    bench::StepTimes times;
    bench::TimeEachStep(state, times, [&] { work(*db); },
                        {.before =
                             [&] {
                                 db = std::make_unique<FreshDatabase>(fixture.dir.path());
                                 prepare(*db);
                             },
                         .after =
                             [&] {
                                 rows = db->masterRows();
                                 db.reset();
                             }});
    state.counters["rows"] = double(rows);
    state.counters["rows_per_s"] =
        benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
    gRounds.rows = rows;
    return times.wall;
}

void ImportFullScaleFile(benchmark::State& state) {
    QString file;
    ImportFolders folders;
    gRounds.import = TimeOnFreshDatabases(
        state,
        [&](FreshDatabase& db) {
            folders = ImportFolders::ofDataFolder(db.folder());
            QDir().mkpath(folders.importFolder);
            file = folders.importFolder + QStringLiteral("KPScale.json");
            QFile::copy(Fixture::instance().file, file);
        },
        [&](FreshDatabase& db) {
            const ImportFileResult result = ImportUpdateFile(db.conx, folders, file);
            if (!result.applied) state.SkipWithError(result.reason.toStdString().c_str());
        });
}

// The same rows with the same statements, bound from values made before the clock starts.
class RawInserts {
public:
    explicit RawInserts(const demo::UpdateContent& c) {
        for (const demo::Group& g : c.groups)
            add(group_, {g.grp, g.dsc, fb::Value(), g.btn, g.clf, g.clb});
        for (const demo::User& u : c.users)
            add(user_, {u.uid, u.log, StaffCardCode(u.pas), u.dob, u.acc});
        for (const demo::Department& d : c.departments)
            add(department_, {d.did, d.dsc, d.rte, d.opn, d.btn, d.crd, d.grp});
        for (const demo::Product& p : c.products) {
            add(product_, {p.sid, p.sid, p.dsc, p.did, p.sp, Nullable(p.bgr), Nullable(p.bnr),
                           fb::Value(), Nullable(p.bcl), p.rte, fb::Value(), fb::Value(), 0});
            for (const QString& code : p.barcodes) add(barcode_, {p.sid, code, 0});
        }
        for (const demo::Restriction& r : c.restrictions) {
            if (r.lim)
                add(restriction_,
                    {0, r.id, fb::Value(), *r.lim, fb::Value(), fb::Value(), fb::Value()});
            if (r.age1)
                add(restriction_,
                    {1, fb::Value(), r.id, *r.age1, fb::Value(), fb::Value(), fb::Value()});
            for (const demo::TradingHours& h : r.hours)
                add(restriction_, {3, fb::Value(), r.id, fb::Value(), h.day, h.beg, h.end});
        }
        for (const demo::Promotion& p : c.promotions) {
            add(promotion_, {p.pid, p.dsc, p.vtp, p.beg.date(), p.end.date(), p.prc, p.prc, 0.0,
                             p.beg.time(), p.end.time(), p.day});
            for (const demo::Trigger& t : p.triggers) add(trigger_, {p.pid, t.lin, t.qty});
            for (const demo::PromoProduct& pp : p.products)
                add(promoProduct_, {p.pid, pp.lin, pp.sid, pp.prc == 0 ? p.prc : pp.prc});
        }
    }

    // Inserts every row in one transaction, committed once.
    void run(fb::Connection& conx) const {
        fb::Transaction unit(conx);
        for (const Statement* s : {&group_, &user_, &department_, &product_, &barcode_,
                                   &restriction_, &promotion_, &trigger_, &promoProduct_}) {
            fb::Query q(unit);
            q.setSQL(s->sql);
            for (const auto& row : s->rows) {
                for (size_t i = 0; i < row.size(); ++i) q.bind(s->names[i], row[i]);
                q.execSQL();
            }
        }
        unit.commit();
    }

private:
    struct Statement {
        QString sql;
        QStringList names;
        std::vector<std::vector<fb::Value>> rows;

        Statement(const char* table, const QStringList& columns)
            : sql(QStringLiteral("insert into %1 (%2) values (:%3)")
                      .arg(QLatin1StringView(table), columns.join(u','), columns.join(u",:"))),
              names(columns) {}
    };

    template <class T>
    static fb::Value Nullable(const std::optional<T>& v) {
        return v ? fb::Value(*v) : fb::Value();
    }
    static void add(Statement& s, std::vector<fb::Value> row) { s.rows.push_back(std::move(row)); }

    Statement group_{"TBL_PRODUCT_GROUPS",
                     {"PRODUCT_GROUP", "DESCRIPTION", "GLYPH", "PRODUCT_GROUP_NO", "FCOL", "BCOL"}};
    Statement user_{"TBL_USERS", {"USER_ID", "LOGIN_NAME", "POS_PASS", "DOB", "ACCESS"}};
    Statement department_{
        "TBL_DEPARTMENTS",
        {"DEPT_ID", "DESCRIPTION", "VAT_RATE", "OPEN_DEPT", "BUTTON", "CARD_CODE", "GROUP_CODE"}};
    Statement product_{"TBL_PRODUCTS",
                       {"SID", "SKU", "DESCRIPTION", "DEPT_ID", "SP", "BGROUP", "BNUMBER", "BGLYPH",
                        "BCOLOUR", "VAT_RATE", "CARD_CODE", "VENDING_CODE", "STATUS"}};
    Statement barcode_{"TBL_BARCODES", {"SID", "BARCODE", "CODE_TYPE"}};
    Statement restriction_{
        "TBL_SALES_RESTRICTIONS",
        {"REST_TYPE", "SID", "DEPT_ID", "REST_VALUE", "REST_DAY", "REST_START", "REST_END"}};
    Statement promotion_{
        "TBL_PROMOTIONS",
        {"PROMO_ID", "DESCRIPTION", "PROMO_TYPE", "START_DATE", "END_DATE", "PROMO_PRICE",
         "PROMO_VALUE", "PROMO_DISC", "START_TIME", "END_TIME", "ACTIVE_DAYS"}};
    Statement trigger_{"TBL_PROMO_TRIGGERS", {"PROMO_ID", "LINE_NO", "TRIGGER_QTY"}};
    Statement promoProduct_{"TBL_PROMO_PRODUCTS", {"PROMO_ID", "LINE_NO", "SID", "PRICE"}};
};

void RawPreparedInserts(benchmark::State& state) {
    const RawInserts inserts(Fixture::instance().content);
    gRounds.raw = TimeOnFreshDatabases(
        state, [](FreshDatabase&) {}, [&](FreshDatabase& db) { inserts.run(db.conx); });
}

BENCHMARK(ImportFullScaleFile)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(RawPreparedInserts)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Fixture::instance();
    bench::Progress("import", "imports of the full-scale file, each into new databases");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!gRounds.import.empty() && !gRounds.raw.empty()) {
        const double rows = double(gRounds.rows);
        const double rate = rows / gRounds.import.median(), raw = rows / gRounds.raw.median();
        bench::Report(
            bench::MakeRow("import", gRounds.import, &gRounds.raw,
                           QStringLiteral("%1 rows at %2 rows/s, %3 % of the raw rate of %4 rows/s")
                               .arg(gRounds.rows)
                               .arg(rate, 0, 'f', 0)
                               .arg(100 * rate / raw, 0, 'f', 0)
                               .arg(raw, 0, 'f', 0)
                               .toStdString()));
    }
    return 0;
}
