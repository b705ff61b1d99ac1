// The kiosk's program entry: splash, style, data module, schema checks, then the main screen.
#include <QFileInfo>
#include <QIcon>
#include <cstdlib>

#include "app/AdvDialogs.h"
#include "app/dm_main.h"
#include "app/fm_SQLUpdates.h"
#include "app/fm_splash.h"
#include "app/uUtils.h"
#include "app/wg_KioskApplication.h"
#include "app/wg_Style.h"
#include "sale/fm_main.h"

namespace {

const QString kTitle = QStringLiteral("KelvoPOS Self Serv");

void loadApplicationIcon(TKioskApplication& app) {
    const QString icon = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() +
                         QStringLiteral("/Res/TX32.ico");
    if (QFileInfo::exists(icon)) app.setWindowIcon(QIcon(icon));
}

TdmView dataModuleView() {
    TdmView view;
    view.showSplashStatus = [](const QString& text) { ShowSplashStatus(text); };
    view.showError = [](const QString& text) { TKioskApplication::reportError(text); };
    view.runSchemaUpdates = [](int current, int latest, int count) {
        TfmSQLUpdates dialog(*dm);
        dialog.SetVersion(current, latest, count);
        return dialog.exec() == 1;
    };
    return view;
}

// The windowing framework ends the process with exit() when its display goes away. The
// engine's own exit handler then waits forever on the attachments left open, holding the
// database, so they are closed first (handlers run in reverse order of registration).
void detachAtExit() {
    if (!dm) return;
    for (fb::Connection* connection : {&dm->conx, &dm->conxA}) {
        try {
            connection->disconnect();
        } catch (...) {
            // Nothing more can be done while the process ends.
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    TKioskApplication app(argc, argv);
    GetProgramFolder();  // settles the suite's program folder before anything else
    loadApplicationIcon(app);
    ShowSplash();
    if (!ApplyKioskStyle(app))
        ShowError(QStringLiteral("The visual style \"Aqua Light Slate\" could not be applied."));
    QGuiApplication::setApplicationDisplayName(kTitle);

    Tdm dataModule(QCoreApplication::applicationFilePath(), dataModuleView());
    dm = &dataModule;
    std::atexit(detachAtExit);
    if (dataModule.DBChecks() <= 0) {
        CloseSplash();
        dm = nullptr;
        return 0;
    }
    TFmMain mainScreen(dataModule);
    mainScreen.showFullScreen();
    const int result = app.exec();
    dm = nullptr;
    return result;
}
