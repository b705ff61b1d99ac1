// Creates the kiosk's two database files from the schema scripts, as a kiosk is delivered.
//   kpdbcreate --schema <folder with kiosk.sql and admin.sql> --folder <data folder> [--replace]
//   kpdbcreate --schema <folder> --load-updates <KPAdmin.gdb>   (schema scripts of an upgrade)
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "db/fbEngine.h"
#include "uCreateDatabase.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates KPSelfServ.gdb and KPAdmin.gdb"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("schema"), QStringLiteral("Folder of kiosk.sql and admin.sql"),
                      QStringLiteral("folder")});
    parser.addOption({QStringLiteral("folder"), QStringLiteral("Folder of the database files"),
                      QStringLiteral("folder")});
    parser.addOption({QStringLiteral("replace"), QStringLiteral("Replace existing files")});
    parser.addOption(
        {QStringLiteral("load-updates"),
         QStringLiteral("Write the schema scripts into an existing back-office database"),
         QStringLiteral("file")});
    parser.process(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool loadUpdates = parser.isSet(QStringLiteral("load-updates"));
    if (!parser.isSet(QStringLiteral("schema")) ||
        (!parser.isSet(QStringLiteral("folder")) && !loadUpdates)) {
        err << "kpdbcreate: --schema and --folder (or --load-updates) are required\n";
        return 2;
    }
    try {
        fb::UsePrivateEngineFolders(fb::DefaultEngineFolder(QStringLiteral("kpselfserv")));
        if (loadUpdates) {
            const QString admin = parser.value(QStringLiteral("load-updates"));
            const int count = LoadSchemaUpdates(parser.value(QStringLiteral("schema")), admin);
            out << "loaded " << count << " schema scripts into " << admin << "\n";
            return 0;
        }
        const QStringList created = CreateKioskDatabases(parser.value(QStringLiteral("schema")),
                                                         parser.value(QStringLiteral("folder")),
                                                         parser.isSet(QStringLiteral("replace")));
        for (const QString& path : created) out << "created " << path << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << "kpdbcreate: " << e.what() << "\n";
        return 1;
    }
}
