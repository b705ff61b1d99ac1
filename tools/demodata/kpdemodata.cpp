// Writes update files for the kiosk's import folder:
//   kpdemodata --out <folder> [--if-empty <kiosk database>]
//       the demonstration shop and its key pictures; with --if-empty only when that database
//       has no products yet and no other update file is waiting in the folder
//   kpdemodata --out <folder> --products <n> [--promotions <m>]
//       a catalogue-scale file for benchmarks (two barcodes per product)
//   kpdemodata --gs1-codes
//       the demonstration shop's GS1 codes, one a line: picture name, zint's bracketed input
//       and the element strings a scanner sends, separated by tabs (tools/gs1-pictures)
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <stdexcept>

#include "db/fbConnection.h"
#include "db/fbEngine.h"
#include "db/fbQuery.h"
#include "uDemoShop.h"
#include "uKeyPictures.h"
#include "uScaleShop.h"

namespace {

const QString kDemoFile = QStringLiteral("KPDemoShop.json");

bool HasProducts(const QString& database) {
    fb::Connection conx;
    conx.setDatabase(database);
    conx.setPassword(QStringLiteral("pinecrest"));
    conx.connect();
    fb::Query q(conx);
    q.setSQL(QStringLiteral("select first 1 SID from TBL_PRODUCTS"));
    q.open();
    return !q.eof();
}

// Another update file is waiting: the shop's own data is on its way, so no demonstration.
QString OtherWaitingUpdate(const QDir& folder) {
    for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files))
        if (name.compare(kDemoFile, Qt::CaseInsensitive) != 0) return name;
    return {};
}

void WriteDemoShop(const QDir& folder, QTextStream& out) {
    const demo::DemoShop shop = demo::MakeDemoShop(QDate::currentDate());
    // The file before its pictures: a pass that takes the file empties the pictures folder,
    // and pictures that arrive later are moved in by the next pass.
    demo::WriteUpdateFile(shop.content, folder.filePath(kDemoFile), true);
    for (const demo::KeyPicture& picture : shop.pictures)
        demo::DrawKeyPicture(picture, folder.absolutePath());
    out << "kpdemodata: wrote the demonstration shop to " << folder.filePath(kDemoFile) << " ("
        << shop.content.products.size() << " products, " << shop.content.promotions.size()
        << " promotions, " << shop.pictures.size() << " key pictures)\n";
    out << "kpdemodata: staff cards (scan at the scan point):\n";
    for (const demo::StaffCard& card : shop.staffCards) {
        out << "  " << card.code << "  " << card.name
            << (card.confirmsAge ? "  (may confirm ages)\n" : "  (may not confirm ages)\n");
    }
}

void WriteScaleShop(const QDir& folder, int products, int promotions, QTextStream& out) {
    const QString path = folder.filePath(QStringLiteral("KPScale_%1.json").arg(products));
    demo::WriteUpdateFile(demo::MakeScaleShop(products, promotions, QDate::currentDate()), path,
                          false);
    out << "kpdemodata: wrote " << path << " (" << products << " products with "
        << 2 * qint64(products) << " barcodes, " << promotions << " promotions)\n";
}

int Run(const QCommandLineParser& args, QTextStream& out) {
    const QDir folder(args.value(QStringLiteral("out")));
    if (!QDir().mkpath(folder.absolutePath()))
        throw std::runtime_error("cannot create " + folder.absolutePath().toStdString());
    if (args.isSet(QStringLiteral("products"))) {
        WriteScaleShop(folder, args.value(QStringLiteral("products")).toInt(),
                       args.value(QStringLiteral("promotions")).toInt(), out);
        return 0;
    }
    if (args.isSet(QStringLiteral("if-empty"))) {
        if (HasProducts(args.value(QStringLiteral("if-empty")))) {
            out << "kpdemodata: the kiosk database has products; no demonstration data written\n";
            return 0;
        }
        const QString waiting = OtherWaitingUpdate(folder);
        if (!waiting.isEmpty()) {
            out << "kpdemodata: " << waiting
                << " is waiting to be imported; no demonstration data written\n";
            return 0;
        }
    }
    WriteDemoShop(folder, out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes update files for the kiosk"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("out"),
                      QStringLiteral("Folder to write into (the import "
                                     "folder)"),
                      QStringLiteral("folder")});
    parser.addOption({QStringLiteral("if-empty"),
                      QStringLiteral("Only when this kiosk database has no products"),
                      QStringLiteral("database")});
    parser.addOption({QStringLiteral("products"),
                      QStringLiteral("Write a scale file with this many products"),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("promotions"), QStringLiteral("Promotions of the scale file"),
                      QStringLiteral("m"), QStringLiteral("1000")});
    parser.addOption(
        {QStringLiteral("gs1-codes"), QStringLiteral("List the demonstration shop's GS1 codes")});
    parser.process(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.isSet(QStringLiteral("gs1-codes"))) {
        for (const demo::Gs1DemoCode& code : demo::Gs1DemoCodes())
            out << code.name << '\t' << code.bracketed() << '\t' << code.elementStrings() << '\n';
        return 0;
    }
    if (!parser.isSet(QStringLiteral("out"))) {
        err << "kpdemodata: --out is required\n";
        return 2;
    }
    try {
        fb::UsePrivateEngineFolders(fb::DefaultEngineFolder(QStringLiteral("kpselfserv")));
        return Run(parser, out);
    } catch (const std::exception& e) {
        err << "kpdemodata: " << e.what() << "\n";
        return 1;
    }
}
