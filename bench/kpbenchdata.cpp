// Makes the full-scale data the benchmarks share, when it is missing or out of date: the scale
// update file and the shop imported from it, kept in KIOSK_BENCH_DATA. Run before the
// benchmarks, so none of them makes it in its own process, where what making it leaves in
// memory would count in the benchmark's figures.
#include <QCoreApplication>
#include <cstdio>
#include <exception>

#include "BenchDatabase.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::UsePrivateEnvironment();
    try {
        const bench::ScaleShop shop(bench::kCatalogueProducts, bench::kCataloguePromotions);
        std::printf("[data] the full-scale shop is ready in %s\n",
                    qPrintable(bench::KeptDataFolder()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kpbenchdata: %s\n", e.what());
        return 1;
    }
    return 0;
}
