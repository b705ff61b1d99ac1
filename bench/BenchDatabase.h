#pragma once

// What every benchmark builds its kiosk from: databases made by the project's own tool from the
// schema, and the scale shop of tools/demodata brought in by the kiosk's own import.
#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include "db/fbConnection.h"
#include "uUpdateContent.h"

namespace bench {

// The catalogue scale the numbers are measured at: 200,000 barcodes, two per product.
inline constexpr int kCatalogueProducts = 100000;
inline constexpr int kCataloguePromotions = 1000;

// The settings hives and the log folder of the benchmark process, in a temporary folder of its
// own, so a run never writes to the machine's settings or beside the program. Call it first.
void UsePrivateEnvironment();

// A scale update file in a temporary folder, with the content it was written from. The same
// arguments always give the same file.
class ScaleUpdateFile {
public:
    ScaleUpdateFile(int products, int promotions);
    ScaleUpdateFile(const ScaleUpdateFile&) = delete;
    ScaleUpdateFile& operator=(const ScaleUpdateFile&) = delete;

    const demo::UpdateContent& content() const { return content_; }
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    demo::UpdateContent content_;
    QString path_;
};

// A program folder laid out as a kiosk's: <root>/KPSelfServ (never run) and <root>/data/ with
// both databases new from the schema, replacing whatever was there.
class KioskFolder {
public:
    explicit KioskFolder(const QString& root);

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
    QString programPath_;
    QString dataFolder_;
};

// A kiosk folder in a temporary folder of its own with a scale shop imported, closed again so
// a benchmark attaches to it as the kiosk would.
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
