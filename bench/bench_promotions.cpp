// The pay button's promotion evaluation at catalogue scale: EvaluatePromotions with the 1,000
// promotions of the scale shop loaded, on a 100-line sale built from promoted products so that
// many promotions compete and many hits are recorded, followed by the redraw of totals and
// lines that the screen makes. Beside it, the database writes it cannot avoid: deleting the
// sale's earlier hits and inserting the same hit rows with prepared statements, in one
// transaction as the evaluation does. The loading of the 1,000 promotions, once per start,
// is timed as well.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "app/uMemTable.h"
#include "db/fbQuery.h"
#include "promo/uPromotions.h"
#include "sale/uSale.h"

namespace {

constexpr int kSaleLines = 100;

// A Wednesday noon.
const QDateTime kNoon(QDate(2024, 3, 13), QTime(12, 0));

struct HitRow {
    fb::Value promo, dept, sid, qty, original, discounted, vat, hit;
};

// The scale shop with every promotion running today (its file is dated in the past), the
// promotions loaded, and a 100-line sale of their products.
class Checkout {
public:
    Checkout() : shop_(bench::kCatalogueProducts, bench::kCataloguePromotions) {
        shop_.folder().configure(conx_);
        conx_.connect();
        fb::Query q(conx_);
        q.setSQL(QStringLiteral(
            "update TBL_PROMOTIONS set START_DATE = current_date - 1, END_DATE = current_date + 1,"
            " START_TIME = '00:00', END_TIME = '23:59:59.999', ACTIVE_DAYS = 'YYYYYYY'"));
        q.execSQL();
        load();
        if (promotions_.items().size() != size_t(bench::kCataloguePromotions))
            throw std::runtime_error("Not every promotion was loaded");
        buildSale();
        insert_.setSQL(
            QStringLiteral("insert into TBL_PROMO_HITS\r\n"
                           " (SALES_ID, PROMO_ID, PROMO_LINE, DEPT_ID, SID, QTY, ORIGINAL_VALUE, "
                           "DISCOUNTED_VALUE,\r\n"
                           "   VAT_RATE, HIT_NUMBER) values \r\n"
                           " (:SAL, :PID, 0, :DID, :SID, :QTY, :ORG, :DSC, :RTE, :HNR)"));
        delete_.setSQL(QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = :SID"));
        evaluate();
        keepHits();
        settle();
    }

    void load() { promotions_ = LoadPromotions(conx_, kNoon); }

    // The pay button without its widgets: the evaluation and the redraw of totals and lines.
    void evaluate() {
        EvaluatePromotions(conx_, salesId_, promotions_);
        totals_ = sale_.ReadTotals(salesId_);
        sale_.LoadLines(salesId_, cdsTX_, [this](int sid) { return promotions_.PromoMarker(sid); });
    }

    // The same database writes alone.
    void rawWrites() {
        fb::Transaction transaction(conx_);
        delete_.setTransaction(transaction);
        insert_.setTransaction(transaction);
        delete_.bind(QStringLiteral("SID"), salesId_);
        delete_.execSQL();
        for (const HitRow& row : hits_) {
            insert_.bind(QStringLiteral("SAL"), salesId_).bind(QStringLiteral("PID"), row.promo);
            insert_.bind(QStringLiteral("DID"), row.dept).bind(QStringLiteral("SID"), row.sid);
            insert_.bind(QStringLiteral("QTY"), row.qty);
            insert_.bind(QStringLiteral("ORG"), row.original);
            insert_.bind(QStringLiteral("DSC"), row.discounted);
            insert_.bind(QStringLiteral("RTE"), row.vat).bind(QStringLiteral("HNR"), row.hit);
            insert_.execSQL();
        }
        transaction.commit();
    }

    // Reads back what the evaluation recorded; the raw writes repeat it.
    void keepHits() {
        fb::Query q(conx_);
        q.setSQL(QStringLiteral(
            "select PROMO_ID, DEPT_ID, SID, QTY, ORIGINAL_VALUE, DISCOUNTED_VALUE, VAT_RATE,"
            " HIT_NUMBER from TBL_PROMO_HITS where SALES_ID = :SID"));
        q.bind(QStringLiteral("SID"), salesId_);
        q.open();
        hits_.clear();
        for (; !q.eof(); q.next())
            hits_.push_back({q.field(0), q.field(1), q.field(2), q.field(3), q.field(4), q.field(5),
                             q.field(6), q.field(7)});
    }

    int hitCount() {
        fb::Query q(conx_);
        q.setSQL(QStringLiteral(
            "select count(distinct HIT_NUMBER), count(*) from TBL_PROMO_HITS where SALES_ID = "
            ":SID"));
        q.bind(QStringLiteral("SID"), salesId_);
        q.open();
        hitRows_ = q.field(1).toInt();
        return q.field(0).toInt();
    }
    int hitRows() const { return hitRows_; }
    int shownRows() const { return cdsTX_.rowCount(); }
    double subTotal() const { return totals_.subTotal; }

    // Ending the transaction lets the engine clean up the deleted hit rows, which retaining
    // commits alone would keep; the kiosk does the same between sales.
    void settle() {
        conx_.commit();
        conx_.transaction();
    }

private:
    // One line per trigger line of the promotions in list order, of its first product and
    // the quantity it asks for, until the sale has its lines.
    void buildSale() {
        salesId_ = int(sale_.CreateSale());
        int lines = 0;
        for (const TPromotion& promotion : promotions_.items()) {
            for (const TTrigger& trigger : promotion.tArray) {
                if (lines == kSaleLines) return;
                if (trigger.fTriggerQuantity <= 0 || trigger.fTriggerProducts.empty()) continue;
                const int sid = trigger.fTriggerProducts.front().fSID;
                sale_.InsertLine(salesId_, sale_.ReadProduct(sid), sale_.FirstBarcode(sid),
                                 trigger.fTriggerQuantity);
                ++lines;
            }
        }
        throw std::runtime_error("Too few promoted products for the sale");
    }

    bench::ScaleShop shop_;
    fb::Connection conx_;
    TSale sale_{conx_};
    TPromoList promotions_;
    int salesId_ = -1;
    TSaleTotals totals_;
    TMemTable cdsTX_;
    std::vector<HitRow> hits_;
    int hitRows_ = 0;
    fb::Query insert_{conx_};
    fb::Query delete_{conx_};
};

Checkout& TheCheckout() {
    static Checkout checkout;
    return checkout;
}

// Seconds per step on the clock and of the process's processor time.
bench::StepTimes gEvaluate, gRaw, gLoad;

// Times step on the checkout (made, on first use, with the clock stopped), settling the sale
// again after each step with the clock stopped.
template <class Step>
void TimePerStep(benchmark::State& state, bench::StepTimes& times, Step step) {
    Checkout* checkout = nullptr;
    bench::TimeEachStep(state, times, [&] { step(*checkout); },
                        {.before =
                             [&] {
                                 if (!checkout) checkout = &TheCheckout();
                             },
                         .after = [&] { checkout->settle(); }});
}

void EvaluateOnSale(benchmark::State& state) {
    TimePerStep(state, gEvaluate, [](Checkout& c) { c.evaluate(); });
    Checkout& checkout = TheCheckout();
    state.counters["hits"] = checkout.hitCount();
    state.counters["hit_rows"] = checkout.hitRows();
}

void RawHitWrites(benchmark::State& state) {
    TimePerStep(state, gRaw, [](Checkout& c) { c.rawWrites(); });
}

void LoadPromotionsAtStart(benchmark::State& state) {
    TimePerStep(state, gLoad, [](Checkout& c) { c.load(); });
}

std::string Ms(double seconds) {
    return bench::FormatValue(bench::Quantity::Time, seconds);
}

void ReportEvaluation() {
    if (gEvaluate.wall.empty() || gRaw.wall.empty()) return;
    Checkout& checkout = TheCheckout();
    const int hits = checkout.hitCount();
    std::string note = QStringLiteral("%1 hits in %2 rows, %3 rows shown, sub-total %4; ")
                           .arg(hits)
                           .arg(checkout.hitRows())
                           .arg(checkout.shownRows())
                           .arg(checkout.subTotal(), 0, 'f', 2)
                           .toStdString() +
                       "processor time " + Ms(gEvaluate.cpu.median()) + " against " +
                       Ms(gRaw.cpu.median()) + " raw; raw: the hit rows' writes alone";
    if (!gLoad.wall.empty()) note += "; loading the promotions at start " + Ms(gLoad.wall.median());
    bench::Report(bench::MakeRow("promotions", gEvaluate.wall, &gRaw.wall, note));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RegisterBenchmark("EvaluatePromotions/100_lines/1000_promotions", EvaluateOnSale)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("RawHitWrites/100_lines/1000_promotions", RawHitWrites)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadPromotions/1000_promotions", LoadPromotionsAtStart)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    bench::Progress("promotions", "EvaluatePromotions on a 100-line sale of promoted products");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReportEvaluation();
    return 0;
}
