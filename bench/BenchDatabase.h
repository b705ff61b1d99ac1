#pragma once

// What every benchmark builds its kiosk from: databases made by the project's own tool from the
// schema, and the scale shop of tools/demodata brought in by the kiosk's own import. The scale
// file and the imported shop are made once and kept (see KeptDataFolder) until the sources
// they are made from change; each benchmark works on a copy.
#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <optional>

#include "db/fbConnection.h"
#include "uUpdateContent.h"

namespace bench {

// The catalogue scale the numbers are measured at: 200,000 barcodes, two per product.
inline constexpr int kCatalogueProducts = 100000;
inline constexpr int kCataloguePromotions = 1000;

// The settings hives and the log folder of the benchmark process, in a temporary folder of its
// own, so a run never writes to the machine's settings or beside the program. Call it first.
void UsePrivateEnvironment();

// Where made data is kept between runs: KIOSK_BENCH_DATA, or build/bench-data of the sources,
// where "./kiosk bench" keeps it.
QString KeptDataFolder();
// Whether this process made kept data; what making it left in memory then counts in this
// process's memory figures.
bool KeptDataMadeHere();

// A scale update file in the kept data folder, written when missing or out of date, with the
// content it was written from (made on first use). The same arguments always give the same
// file; benchmarks copy it and never change it.
class ScaleUpdateFile {
public:
    ScaleUpdateFile(int products, int promotions);
    ScaleUpdateFile(const ScaleUpdateFile&) = delete;
    ScaleUpdateFile& operator=(const ScaleUpdateFile&) = delete;

    const demo::UpdateContent& content() const;
    const QString& path() const { return path_; }

private:
    int products_;
    int promotions_;
    mutable std::optional<demo::UpdateContent> content_;
    QString path_;
};

// A program folder laid out as a kiosk's: <root>/KPSelfServ (never run) and <root>/data/ with
// both databases new from the schema, replacing whatever was there.
class KioskFolder {
public:
    explicit KioskFolder(const QString& root);
    // A program folder at root with copies of the databases of source.
    KioskFolder(const QString& root, const KioskFolder& source);
    // The program folder at root as it is.
    static KioskFolder existing(const QString& root);

    const QString& programPath() const { return programPath_; }
    const QString& dataFolder() const { return dataFolder_; }
    QString kioskDatabase() const;
    QString adminDatabase() const;

    // Sets the connection to the kiosk database as the data module does; the caller connects.
    void configure(fb::Connection& conx) const;
    void configureAdmin(fb::Connection& conx) const;

    // Applies the update file through the kiosk's import, from a copy in the import folder,
    // and leaves the import folder empty. Throws when the file is not applied.
    void importUpdateFile(const QString& updateFile) const;

private:
    struct AsItIs {};
    KioskFolder(const QString& root, AsItIs);

    QString programPath_;
    QString dataFolder_;
};

// A kiosk folder in a temporary folder of its own with a scale shop imported, closed again so
// a benchmark attaches to it as the kiosk would: a copy of the shop kept in the data folder,
// which is imported first when missing or out of date.
class ScaleShop {
public:
    ScaleShop(int products, int promotions);

    const KioskFolder& folder() const { return folder_; }
    int products() const { return products_; }

private:
    QTemporaryDir dir_;
    int products_;
    KioskFolder folder_;
};

}  // namespace bench
