// Starts a pass over an import folder and is killed in the middle of applying its first update
// file, as a kiosk that loses its power or meets a fault would be:
//   import_interrupted <kiosk database> <data folder>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

#include "backoffice/uImportUpdates.h"
#include "db/fbConnection.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: import_interrupted <kiosk database> <data folder>\n", stderr);
        return 2;
    }
    fb::Connection conx;
    conx.setDatabase(QString::fromLocal8Bit(argv[1]));
    conx.setPassword(QStringLiteral("pinecrest"));
    conx.connect();
    ImportView view;
    view.keepAlive = [] { std::raise(SIGKILL); };
    ImportUpdatesPass(conx, ImportFolders::ofDataFolder(QString::fromLocal8Bit(argv[2])), view);
    std::fputs("import_interrupted: the pass ended without being interrupted\n", stderr);
    return 1;
}
