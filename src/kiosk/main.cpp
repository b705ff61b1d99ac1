// The kiosk's program entry: splash, style, data module, schema checks, then the main screen.
#include <QDialog>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/dm_main.h"
#include "app/uProgramFolder.h"
#include "app/uServiceNotify.h"
#include "app/uSpeech.h"
#include "app/uStartFailure.h"
#include "app/uStopSignals.h"
#include "db/fbEngine.h"
#include "kiosk/fm_main.h"
#include "ui/AdvDialogs.h"
#include "ui/fm_SQLUpdates.h"
#include "ui/fm_splash.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_KioskApplication.h"
#include "ui/wg_ScaledHost.h"
#include "ui/wg_ScreenSpeech.h"
#include "ui/wg_Style.h"
#include "ui/wg_Voice.h"
#include "ui/wg_Window.h"

namespace {

const QString kTitle = QStringLiteral("KelvoPOS Self Serv");
// How far each notice pushes the service manager's start timeout on, in milliseconds.
constexpr qint64 kWaitExtension = 60000;

void loadApplicationIcon(TKioskApplication& app) {
    const QString icon = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() +
                         QStringLiteral("/Res/TX32.ico");
    if (QFileInfo::exists(icon)) app.setWindowIcon(QIcon(icon));
}

// While the schema update dialog waits for somebody, the service manager is told so and its
// start timeout is pushed on, so it neither kills the kiosk nor starts it again meanwhile.
bool RunSchemaUpdates(int current, int latest, int count) {
    TfmSQLUpdates dialog(*dm);
    dialog.SetVersion(current, latest, count);
    const auto extendStartTimeout = [] {
        NotifyServiceManager("EXTEND_TIMEOUT_USEC=" + QByteArray::number(kWaitExtension * 1000));
    };
    QTimer extender;
    extender.setInterval(kWaitExtension / 2);
    QObject::connect(&extender, &QTimer::timeout, extendStartTimeout);
    NotifyServiceManager(
        "STATUS=Waiting for the schema update to be confirmed on the kiosk's screen");
    extendStartTimeout();
    extender.start();
    return dialog.exec() == 1;
}

TdmView dataModuleView(TStartFailure& failure, const TStopSignals& stopSignals) {
    TdmView view;
    view.showSplashStatus = [](const QString& text) {
        // The version line also reaches "systemctl status", where an upgrade can be checked.
        NotifyServiceManager("STATUS=" + text.toUtf8());
        ShowSplashStatus(text);
    };
    view.showError = [](const QString& text) { TKioskApplication::reportError(text); };
    view.showKioskError = [](const QString& text) { ShowError(text); };
    view.runSchemaUpdates = RunSchemaUpdates;
    // A dialog closed by a stop request is no failure: the service manager asked for it.
    view.startFailed = [&failure, &stopSignals](const QString& reason) {
        if (!stopSignals.requested()) failure.report(reason);
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

// A stop asked for by the service manager or at the console: the open boxes are closed as if
// declined and the event loop ends, so main returns and the databases are detached on the way.
// The open sale stays in the database as it is.
void StopKiosk() {
    NotifyServiceManager("STOPPING=1");
    for (int open = 0; open < 100; ++open) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->hide();
    }
    QCoreApplication::quit();
}

// The engine's lock and temporary folders belong to this user alone; set before it loads.
bool PrepareEngineFolders(TStartFailure& failure) {
    try {
        fb::UsePrivateEngineFolders(fb::DefaultEngineFolder(QStringLiteral("kpselfserv")));
        return true;
    } catch (const std::exception& e) {
        failure.report(StartFailureReason(QStringLiteral("the engine's folders"), e));
        return false;
    }
}

// The kiosk's voice, started when a customer first asks for speech so the engine costs the
// start nothing, and the reading of the screens it speaks.
class TKioskSpeech {
public:
    TKioskSpeech() {
        QObject::connect(&TAccessModes::instance(), &TAccessModes::speechChanged, &fScreen,
                         [this](bool on) {
                             if (!on || fVoice) return;
                             fVoice = std::make_unique<TVoice>();
                             TSpeaker::instance().setSink(fVoice.get());
                         });
    }
    ~TKioskSpeech() { TSpeaker::instance().setSink(nullptr); }
    TKioskSpeech(const TKioskSpeech&) = delete;
    TKioskSpeech& operator=(const TKioskSpeech&) = delete;

private:
    TScreenSpeech fScreen;
    std::unique_ptr<TVoice> fVoice;
};

}  // namespace

int main(int argc, char** argv) {
    TStartFailure failure;
    if (!PrepareEngineFolders(failure)) return failure.exitStatus();
    TKioskApplication app(argc, argv);
    TStopSignals stopSignals([](int) { StopKiosk(); });
    fb::AfterEngineLoad([&stopSignals] { stopSignals.install(); });
    GetProgramFolder();  // settles the suite's program folder before anything else
    loadApplicationIcon(app);
    ScaleDesignToScreen(TFmMain::DesignSize);
    ShowSplash();
    if (!ApplyKioskStyle(app))
        ShowError(QStringLiteral("The visual style \"Aqua Light Slate\" could not be applied."));
    QGuiApplication::setApplicationDisplayName(kTitle);
    const TKeypadNavigator keypad;

    Tdm dataModule(QCoreApplication::applicationFilePath(), dataModuleView(failure, stopSignals));
    dm = &dataModule;
    std::atexit(detachAtExit);
    if (stopSignals.requested() || dataModule.DBChecks() <= 0) {
        CloseSplash();
        dm = nullptr;
        return failure.exitStatus();
    }
    // Before the main screen, whose first words on switching speech on need the voice.
    TKioskSpeech speech;
    TFmMain mainScreen(dataModule);
    const QScreen* screen = QGuiApplication::primaryScreen();
    // A screen smaller than the design shows it through a scaled view: Qt's own scaling only
    // enlarges cleanly.
    std::unique_ptr<TScaledHost> scaledHost;
    if (screen && DesignScale(screen->geometry().size(), TFmMain::DesignSize) < 1)
        scaledHost = std::make_unique<TScaledHost>(mainScreen, TFmMain::DesignSize);
    QWidget* window = scaledHost ? static_cast<QWidget*>(scaledHost.get()) : &mainScreen;
    // An X server without a window manager leaves a full-screen window at its own size; a
    // Wayland compositor sizes it itself (and a size given first spoils its first frame there).
    const bool onX = QGuiApplication::platformName() == QLatin1String("xcb");
    if (screen && onX) window->setGeometry(screen->geometry());
    window->showFullScreen();
    // A stop asked for while the screen was being shown ended no event loop of its own.
    int result = 0;
    if (!stopSignals.requested()) {
        NotifyServiceManager("READY=1");
        result = app.exec();
    }
    dm = nullptr;
    return result;
}
