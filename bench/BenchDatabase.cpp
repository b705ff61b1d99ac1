#include "BenchDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#include "app/dm_main.h"
#include "backoffice/uImportUpdates.h"
#include "db/fbEngine.h"
#include "uCreateDatabase.h"
#include "uScaleShop.h"

namespace bench {

namespace {

// The day the scale shop's promotions are dated from; fixed so every run sees the same file.
const QDate kScaleDay(2024, 3, 15);

QString MakeTemporaryPath(const QTemporaryDir& dir) {
    if (!dir.isValid())
        throw std::runtime_error("Cannot create a temporary folder: " +
                                 dir.errorString().toStdString());
    return dir.path();
}

}  // namespace

void UsePrivateEnvironment() {
    static const QTemporaryDir dir;
    const QDir root(MakeTemporaryPath(dir));
    qputenv("KIOSK_REGISTRY_MACHINE", root.filePath("machine/HKEY_LOCAL_MACHINE.reg").toUtf8());
    qputenv("KIOSK_REGISTRY_USER", root.filePath("user/HKEY_CURRENT_USER.reg").toUtf8());
    qputenv("KIOSK_LOG_FOLDER", root.filePath("logs/").toUtf8());
    fb::UsePrivateEngineFolders(fb::DefaultEngineFolder(QStringLiteral("kpselfserv-bench")));
}

ScaleUpdateFile::ScaleUpdateFile(int products, int promotions)
    : content_(demo::MakeScaleShop(products, promotions, kScaleDay)),
      path_(QDir(MakeTemporaryPath(dir_)).filePath(QStringLiteral("KPScale.json"))) {
    demo::WriteUpdateFile(content_, path_, false);
}

KioskFolder::KioskFolder(const QString& root)
    : programPath_(root + QStringLiteral("/KPSelfServ")),
      dataFolder_(root + QStringLiteral("/data/")) {
    QDir(dataFolder_).removeRecursively();
    if (!QDir().mkpath(dataFolder_))
        throw std::runtime_error("Cannot create " + dataFolder_.toStdString());
    CreateKioskDatabases(QStringLiteral(KIOSK_SOURCE_DIR "/src/app/schema"), dataFolder_, true);
}

QString KioskFolder::kioskDatabase() const {
    return dataFolder_ + QStringLiteral("KPSelfServ.gdb");
}

QString KioskFolder::adminDatabase() const {
    return AdminDatabasePath(kioskDatabase());
}

void KioskFolder::configure(fb::Connection& conx) const {
    conx.setDatabase(kioskDatabase());
    conx.setUserName(Tdm::kUserName);
    conx.setPassword(Tdm::kPassword);
}

void KioskFolder::configureAdmin(fb::Connection& conx) const {
    conx.setDatabase(adminDatabase());
    conx.setUserName(Tdm::kUserName);
    conx.setPassword(Tdm::kPassword);
}

void KioskFolder::importUpdateFile(const QString& updateFile) const {
    const ImportFolders folders = ImportFolders::ofDataFolder(dataFolder_);
    QDir().mkpath(folders.importFolder);
    const QString waiting = folders.importFolder + QFileInfo(updateFile).fileName();
    if (!QFile::copy(updateFile, waiting))
        throw std::runtime_error("Cannot copy the update file to " + waiting.toStdString());
    fb::Connection conx;
    configure(conx);
    conx.connect();
    const ImportFileResult result = ImportUpdateFile(conx, folders, waiting);
    if (!result.applied)
        throw std::runtime_error("The update file was not applied: " + result.reason.toStdString());
    // The archived file is of no use here; an empty import folder is how the kiosk finds it.
    QDir(folders.importFolder).removeRecursively();
    QDir().mkpath(folders.importFolder);
}

ScaleShop::ScaleShop(int products, int promotions)
    : products_(products), folder_(MakeTemporaryPath(dir_)) {
    const ScaleUpdateFile file(products, promotions);
    folder_.importUpdateFile(file.path());
}

}  // namespace bench
