// Starts a pass over an import folder and is killed in the middle of applying its first update
// file, as a kiosk that loses its power or meets a fault would be:
//   import_interrupted <kiosk database> <data folder>
// It is killed at a keep-alive that comes after the master tables have been emptied and some of
// the file's rows written, and says so on its error output first, so a test can tell a kill in
// the middle of the file from a fault before or after it.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>

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
    // One keep-alive after emptying each of the ten master tables, then one every 250 rows.
    constexpr int kKillAtKeepAlive = 12;
    int keepAlives = 0;
    ImportView view;
    view.keepAlive = [&] {
        if (!conx.inTransaction()) {
            std::fputs("import_interrupted: a keep-alive came outside the import\n", stderr);
            std::_Exit(1);
        }
        if (++keepAlives < kKillAtKeepAlive) return;
        std::fprintf(stderr, "import_interrupted: killed mid-import at keep-alive %d\n",
                     keepAlives);
        std::fflush(stderr);
        std::raise(SIGKILL);
    };
    ImportUpdatesPass(conx, ImportFolders::ofDataFolder(QString::fromLocal8Bit(argv[2])), view);
    std::fputs("import_interrupted: the pass ended without being interrupted\n", stderr);
    return 1;
}
