#include "BenchDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <stdexcept>

#include "BenchReport.h"
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

// What the kept data is made from; when any of it changes, the data is made anew.
QByteArray SourcesKey(int products, int promotions) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QStringLiteral("%1 products, %2 promotions, %3")
                     .arg(products)
                     .arg(promotions)
                     .arg(kScaleDay.toString(Qt::ISODate))
                     .toUtf8());
    const QDir root(QStringLiteral(KIOSK_SOURCE_DIR));
    const std::pair<const char*, QStringList> sources[] = {
        {"src/app/schema", {QStringLiteral("*")}},
        {"src/backoffice", {QStringLiteral("uImport*"), QStringLiteral("uUpdateFile*")}},
        {"tools", {QStringLiteral("uCreateDatabase.*")}},
        {"tools/demodata", {QStringLiteral("*.cpp"), QStringLiteral("*.h")}}};
    for (const auto& [folder, filters] : sources) {
        const QDir dir(root.filePath(QLatin1StringView(folder)));
        for (const QString& name : dir.entryList(filters, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                throw std::runtime_error("Cannot read " + file.fileName().toStdString());
            hash.addData(name.toUtf8());
            hash.addData(file.readAll());
        }
    }
    return hash.result().toHex();
}

void RemovePath(const QString& path) {
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

bool gMadeHere = false;

// Keeps target (a file or a folder) made by make, remade when its key file does not hold key.
// It is made under a temporary name and then put in place, and its key written last, so an
// interrupted run leaves nothing that looks finished.
void MakeKept(const QString& target, const QByteArray& key,
              const std::function<void(const QString& path)>& make) {
    QFile keyFile(target + QStringLiteral(".key"));
    if (QFileInfo::exists(target) && keyFile.open(QIODevice::ReadOnly) && keyFile.readAll() == key)
        return;
    keyFile.close();
    keyFile.remove();
    const QString making = target + QStringLiteral(".making");
    RemovePath(making);
    gMadeHere = true;
    make(making);
    RemovePath(target);
    if (!QDir().rename(making, target))
        throw std::runtime_error("Cannot put the made data in place at " + target.toStdString());
    if (!keyFile.open(QIODevice::WriteOnly) || keyFile.write(key) != key.size())
        throw std::runtime_error("Cannot write " + keyFile.fileName().toStdString());
}

void CopyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("Cannot copy " + from.toStdString() + " to " + to.toStdString());
}

}  // namespace

QString KeptDataFolder() {
    QString folder = qEnvironmentVariable("KIOSK_BENCH_DATA");
    if (folder.isEmpty()) folder = QStringLiteral(KIOSK_SOURCE_DIR "/build/bench-data");
    if (!QDir().mkpath(folder))
        throw std::runtime_error("Cannot create the kept data folder " + folder.toStdString());
    return QDir(folder).absolutePath();
}

bool KeptDataMadeHere() {
    return gMadeHere;
}

void UsePrivateEnvironment() {
    static const QTemporaryDir dir;
    const QDir root(MakeTemporaryPath(dir));
    qputenv("KIOSK_REGISTRY_MACHINE", root.filePath("machine/HKEY_LOCAL_MACHINE.reg").toUtf8());
    qputenv("KIOSK_REGISTRY_USER", root.filePath("user/HKEY_CURRENT_USER.reg").toUtf8());
    qputenv("KIOSK_LOG_FOLDER", root.filePath("logs/").toUtf8());
    fb::UsePrivateEngineFolders(fb::DefaultEngineFolder(QStringLiteral("kpselfserv-bench")));
}

ScaleUpdateFile::ScaleUpdateFile(int products, int promotions)
    : products_(products),
      promotions_(promotions),
      path_(KeptDataFolder() +
            QStringLiteral("/KPScale_%1_%2.json").arg(products).arg(promotions)) {
    MakeKept(path_, SourcesKey(products, promotions), [this](const QString& making) {
        Progress("data", QStringLiteral("writing the update file of %1 products, %2 promotions")
                             .arg(products_)
                             .arg(promotions_)
                             .toStdString());
        demo::WriteUpdateFile(content(), making, false);
    });
}

const demo::UpdateContent& ScaleUpdateFile::content() const {
    if (!content_) content_ = demo::MakeScaleShop(products_, promotions_, kScaleDay);
    return *content_;
}

KioskFolder::KioskFolder(const QString& root)
    : programPath_(root + QStringLiteral("/KPSelfServ")),
      dataFolder_(root + QStringLiteral("/data/")) {
    QDir(dataFolder_).removeRecursively();
    if (!QDir().mkpath(dataFolder_))
        throw std::runtime_error("Cannot create " + dataFolder_.toStdString());
    CreateKioskDatabases(QStringLiteral(KIOSK_SOURCE_DIR "/src/app/schema"), dataFolder_, true);
}

KioskFolder::KioskFolder(const QString& root, AsItIs)
    : programPath_(root + QStringLiteral("/KPSelfServ")),
      dataFolder_(root + QStringLiteral("/data/")) {}

KioskFolder KioskFolder::existing(const QString& root) {
    return KioskFolder(root, AsItIs{});
}

KioskFolder::KioskFolder(const QString& root, const KioskFolder& source)
    : KioskFolder(root, AsItIs{}) {
    QDir(dataFolder_).removeRecursively();
    if (!QDir().mkpath(dataFolder_))
        throw std::runtime_error("Cannot create " + dataFolder_.toStdString());
    CopyFile(source.kioskDatabase(), kioskDatabase());
    CopyFile(source.adminDatabase(), adminDatabase());
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

namespace {

// The kept shop of this size, imported when missing or out of date.
KioskFolder KeptShop(int products, int promotions) {
    const QString root =
        KeptDataFolder() + QStringLiteral("/shop_%1_%2").arg(products).arg(promotions);
    MakeKept(root, SourcesKey(products, promotions), [&](const QString& making) {
        const ScaleUpdateFile file(products, promotions);
        Progress("data", QStringLiteral("importing the shop of %1 products into %2")
                             .arg(products)
                             .arg(root)
                             .toStdString());
        KioskFolder(making).importUpdateFile(file.path());
    });
    return KioskFolder::existing(root);
}

}  // namespace

ScaleShop::ScaleShop(int products, int promotions)
    : products_(products), folder_(MakeTemporaryPath(dir_), KeptShop(products, promotions)) {}

}  // namespace bench
