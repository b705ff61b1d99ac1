#include "BenchScreen.h"

#include <malloc.h>
#include <QAbstractEventDispatcher>
#include <QFile>
#include <cstdio>
#include <stdexcept>

#include "KioskInput.h"
#include "kiosk/fm_main.h"
#include "ui/wg_Style.h"

namespace bench {

namespace {

int& OnOffscreenPlatform(int& argc) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}

// The offscreen platform says at every change of the window's size limits that it keeps none,
// which would bury the progress lines; every other message passes.
QtMessageHandler gDefaultMessageHandler = nullptr;
void QuietMessageHandler(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
    if (message.contains(QLatin1StringView("does not support propagateSizeHints"))) return;
    gDefaultMessageHandler(type, context, message);
}

// A timer that fires at once again and again never lets the loop be idle; past this many
// rounds the loop is taken as idle all the same.
constexpr int kIdleRounds = 1000;

}  // namespace

ScreenApplication::ScreenApplication(int& argc, char** argv)
    : app_(OnOffscreenPlatform(argc), argv) {
    gDefaultMessageHandler = qInstallMessageHandler(QuietMessageHandler);
    UsePrivateEnvironment();
    if (!ApplyKioskStyle(app_)) std::fprintf(stderr, "The kiosk's style could not be applied\n");
}

int RunScreenBenchmark(int& argc, char** argv, const char* name, void (*run)()) {
    ScreenApplication app(argc, argv);
    try {
        run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
    return 0;
}

TdmView QuietDataModuleView(QString& error) {
    TdmView view;
    view.showSplashStatus = [](const QString&) {};
    view.showError = [&error](const QString& text) { error = text; };
    view.runSchemaUpdates = [&error](int, int, int) {
        error = QStringLiteral("Schema updates were offered");
        return false;
    };
    return view;
}

void WaitUntilIdle() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (int round = 0; round < kIdleRounds; ++round) {
        QCoreApplication::sendPostedEvents();
        if (!dispatcher->processEvents(QEventLoop::AllEvents)) return;
    }
}

ShownKiosk::ShownKiosk(const KioskFolder& folder) {
    module_ = std::make_unique<Tdm>(folder.programPath(), QuietDataModuleView(error_));
    if (!error_.isEmpty()) throw std::runtime_error(error_.toStdString());
    dm = module_.get();
    if (module_->DBChecks() <= 0) throw std::runtime_error("DBChecks did not pass");
    screen_ = std::make_unique<TFmMain>(*module_);
    screen_->show();
    screen_->activateWindow();
    WaitUntilIdle();
    if (!error_.isEmpty()) throw std::runtime_error(error_.toStdString());
}

ShownKiosk::~ShownKiosk() {
    screen_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dm = nullptr;
}

void ShownKiosk::type(const QString& code) {
    QWidget* focus = screen_->focusWidget();
    TypeCode(focus ? focus : screen_.get(), code);
}

double ResidentMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read /proc/self/status");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("VmRSS:")) continue;
        const QList<QByteArray> fields = line.simplified().split(' ');  // VmRSS: 1234 kB
        if (fields.size() >= 2) return fields[1].toDouble() * 1024;
    }
    throw std::runtime_error("No VmRSS in /proc/self/status");
}

double HeapInUse() {
    return double(mallinfo2().uordblks);
}

}  // namespace bench
