#include "support/CageSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <stdexcept>

#include <pwd.h>
#include <unistd.h>

#include "support/KioskProcess.h"
#include "support/VirtualDisplay.h"

namespace cage {

QString user() {
    return QStringLiteral("nobody");
}

QString whyNot(std::initializer_list<const char*> tools) {
    if (::geteuid() != 0) return QStringLiteral("starting the kiosk as another user needs root");
    if (::getpwnam(user().toLocal8Bit().constData()) == nullptr)
        return QStringLiteral("there is no user %1").arg(user());
    if (const QString reason = VirtualDisplay::whyNone(); !reason.isEmpty()) return reason;
    auto missing = [](const char* tool) {
        return QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty();
    };
    for (const char* tool : {"cage", "runuser"})
        if (missing(tool)) return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    for (const char* tool : tools)
        if (missing(tool)) return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms/libqwayland-generic.so")))
        return QStringLiteral("Qt's Wayland platform (qt6-wayland) is not installed");
    return {};
}

QString prepare(KioskProcess& kiosk, const KioskFolder& folder, const VirtualDisplay& display) {
    const QString runtime = folder.path() + QStringLiteral("run");
    if (!QDir().mkpath(runtime)) throw std::runtime_error("no runtime folder");
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.giveTo(user());
    QProcessEnvironment& environment = kiosk.environment();
    for (const char* name : {"FIREBIRD_LOCK", "FIREBIRD_TMP", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("x11"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    // Under a compositor Qt loads graphics libraries and unloads them before the program ends;
    // the leak checker can name what they keep only as an unknown module, so a sanitizer build
    // checks no leaks in this one process (cage returns the kiosk's status, which a leak report
    // would change).
    environment.insert(
        QStringLiteral("ASAN_OPTIONS"),
        environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    return runtime;
}

namespace {

// Starts a command as the user in the kiosk's environment, its output and errors together.
void StartAs(QProcess& process, KioskProcess& kiosk, const QStringList& command) {
    process.setProcessEnvironment(kiosk.environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("runuser"),
                  QStringList{QStringLiteral("-u"), user(), QStringLiteral("--")} + command);
}

}  // namespace

QString runAs(KioskProcess& kiosk, const QStringList& command) {
    QProcess process;
    StartAs(process, kiosk, command);
    process.waitForFinished(30000);
    return QString::fromLocal8Bit(process.readAll());
}

QString whyNotRunning(KioskProcess& kiosk) {
    QProcess cage;
    StartAs(cage, kiosk, {QStringLiteral("cage"), QStringLiteral("--"), QStringLiteral("true")});
    if (!cage.waitForFinished(30000)) {
        cage.kill();
        cage.waitForFinished();
        return QStringLiteral("cage did not run a program to its end in 30 s");
    }
    if (cage.exitStatus() == QProcess::NormalExit && cage.exitCode() == 0) return {};
    return QStringLiteral("cage cannot run on this machine: ") +
           QString::fromLocal8Bit(cage.readAll());
}

Session::Session(KioskProcess& kiosk, KioskFolder& folder, const VirtualDisplay& display)
    : kiosk_(kiosk), script_(folder.path() + QStringLiteral("kpselfserv-session")) {
    for (const char* name : {"kpselfserv-session", "ini-value", "remote-view"}) {
        const QString file = QString::fromLatin1(name);
        if (!QFile::copy(QStringLiteral(KIOSK_SOURCE_DIR "/deploy/") + file, folder.path() + file))
            throw std::runtime_error("cannot copy " + file.toStdString());
    }
    runtime_ = prepare(kiosk, folder, display);
    kiosk.environment().insert(QStringLiteral("RUNTIME_DIRECTORY"), runtime_);
    kiosk.environment().insert(QStringLiteral("KIOSK_PROGRAM"), folder.program());
}

QString Session::whyNotRunning() {
    return cage::whyNotRunning(kiosk_);
}

QString Session::start() {
    kiosk_.start({QStringLiteral("runuser"), QStringLiteral("-u"), user(), QStringLiteral("--"),
                  script_, QStringLiteral("start")});
    if (kiosk_.waitFor("READY=1", 60000)) return {};
    return QStringLiteral("the kiosk did not get ready under cage: ") + kiosk_.output();
}

QImage Session::grab() {
    kiosk_.environment().insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    const QString shot = runtime_ + QStringLiteral("/screen.png");
    QImage screen;
    // The window is shown before the compositor has drawn its first frame.
    for (QDeadlineTimer drawn(10000); !drawn.hasExpired(); QThread::msleep(200)) {
        runAs(kiosk_, {QStringLiteral("grim"), shot});
        screen = QImage(shot);
        if (!screen.isNull() && screen.pixelColor(10, 10) != QColor(Qt::black)) break;
    }
    kiosk_.environment().remove(QStringLiteral("WAYLAND_DISPLAY"));
    return screen;
}

void Session::stop() {
    runAs(kiosk_, {script_, QStringLiteral("stop")});
}

}  // namespace cage
