// A card payment's cost to the kiosk: the journal's writes, the protocol and the settlement
// check before the charge, beside the terminal service's own time for the same request (its
// simulated customer and acquirer set to no time at all, its journal synced to disk as always).
// Each sample pays a fresh 4.50 sale through the kiosk's checkout on a terminal that approves;
// the raw baseline sends the same Payment request straight to the terminal. Both are
// authenticated on the link, as every request is.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <stdexcept>

#include "BenchDatabase.h"
#include "BenchReport.h"
#include "db/fbQuery.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentSettings.h"
#include "payment/uTerminalClient.h"

namespace {

using Clock = std::chrono::steady_clock;

// kpterminal approving every payment at once, on a free port, with its journal and the link's
// secret in a folder of its own.
class Terminal {
public:
    Terminal() {
        MakeTerminalSecret(secretPath());
        process_.start(
            QStringLiteral(KIOSK_TERMINAL_PROGRAM),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--outcome"),
             QStringLiteral("approve"), QStringLiteral("--delay"), QStringLiteral("0"),
             QStringLiteral("--no-window"), QStringLiteral("--journal"),
             dir_.filePath(QStringLiteral("journal.jsonl")), QStringLiteral("--secret"),
             secretPath()});
        static const QRegularExpression listening(QStringLiteral("listening on [^:]+:(\\d+)"));
        QByteArray output;
        while (process_.waitForReadyRead(10000)) {
            output += process_.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                port_ = quint16(match.captured(1).toUInt());
                return;
            }
        }
        throw std::runtime_error("kpterminal did not start: " + output.toStdString());
    }
    ~Terminal() {
        process_.kill();
        process_.waitForFinished();
    }
    TTerminalAddress address() const {
        TTerminalAddress address{QStringLiteral("127.0.0.1"), port_};
        address.secret = ReadTerminalSecret(secretPath());
        return address;
    }

private:
    QString secretPath() const { return dir_.filePath(QStringLiteral("secret")); }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

class NoView : public TPaymentView {
public:
    void showProgress(NonGuiTransactionHook&) override {}
    void showResult(int, const TPaymentResult&) override {}
};

bench::Samples gOverhead, gTerminal;

void PayBySale(benchmark::State& state) {
    try {
        QTemporaryDir dir;
        const bench::KioskFolder folder(dir.path());
        fb::Connection conx;
        folder.configure(conx);
        conx.connect();
        Terminal terminal;
        const TTerminalAddress address = terminal.address();
        TTerminalClient direct(address);
        const TPaymentTerminal kiosk{[&] { return std::make_unique<TTerminalClient>(address); },
                                     [] { return std::make_unique<NoView>(); },
                                     {}};
        fb::Query q(conx);
        int sale = 0;
        for (auto _ : state) {
            state.PauseTiming();
            ++sale;
            q.setSQL(
                QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values "
                               "(:SID, 'now')"));
            q.bind(QStringLiteral("SID"), sale);
            q.execSQL();
            q.setSQL(
                QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, "
                               "SALES_QTY, SALES_AMT) values (:SID, 100, 'Crisps', 3, 4.5)"));
            q.bind(QStringLiteral("SID"), sale);
            q.execSQL();
            state.ResumeTiming();

            const auto paying = Clock::now();
            if (!PayForSale(conx, sale, kiosk, folder.dataFolder()))
                throw std::runtime_error("A payment was not approved");
            const double paid = std::chrono::duration<double>(Clock::now() - paying).count();

            const auto asking = Clock::now();
            direct.exchange({{"MessageType", "Payment"},
                             {"SaleTransactionID", QStringLiteral("raw-%1").arg(sale)},
                             {"Amount", 450}},
                            10000);
            const double raw = std::chrono::duration<double>(Clock::now() - asking).count();
            gTerminal.add(raw);
            gOverhead.add(std::max(0.0, paid - raw));
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RegisterBenchmark("PayForSale/terminal_service", &PayBySale)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(200);
    bench::Progress("payment", "A card payment's own overhead on the terminal service");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!gOverhead.empty())
        bench::Report(bench::MakeRow(
            "payment", gOverhead, &gTerminal,
            QStringLiteral("%1 payments; the median is the checkout's time less the terminal's "
                           "for the same request in the same round (journal writes, payment row, "
                           "receipt file, protocol); raw: one Payment request straight to "
                           "kpterminal with no simulated time, its journal synced")
                .arg(gOverhead.size())
                .toStdString()));
    return 0;
}
