#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <initializer_list>

class KioskFolder;
class KioskProcess;
class VirtualDisplay;

// The installed kiosk runs under the cage compositor as an unprivileged user. Tests do the
// same with cage showing its output in a window of a virtual display (its X11 backend: its
// headless one sends a client no frame after the first). They need root (to become that user),
// cage, runuser and Qt's Wayland platform.
namespace cage {

// The unprivileged user the kiosk runs as in these tests.
QString user();

// Why the kiosk cannot be run under cage on this machine, or nothing when it can; tools names
// further programs the test needs.
QString whyNot(std::initializer_list<const char*> tools = {});

// Makes the folder the user's, with a runtime folder of its own (its path, returned), and sets
// the kiosk's environment for cage on the display.
QString prepare(KioskProcess& kiosk, const KioskFolder& folder, const VirtualDisplay& display);

// Why cage cannot start in the kiosk's environment (no display backend it can use, for one), or
// nothing when it runs a program to its end. Asked before the kiosk starts, so that any failure
// of the kiosk under cage afterwards fails the test.
QString whyNotRunning(KioskProcess& kiosk);

// Runs a command as the user in the kiosk's environment; its output.
QString runAs(KioskProcess& kiosk, const QStringList& command);

// The kiosk session of deploy/ (the session script and its helpers, copied into the folder):
// started as the user, its screen grabbed from the compositor, stopped as the service does.
class Session {
public:
    Session(KioskProcess& kiosk, KioskFolder& folder, const VirtualDisplay& display);
    // Why cage cannot start here (see cage::whyNotRunning), or nothing.
    QString whyNotRunning();
    // Starts it; nothing when the kiosk got ready, otherwise what went wrong.
    QString start();
    // The compositor's screen once the kiosk's first frame is drawn (not black).
    QImage grab();
    void stop();

private:
    KioskProcess& kiosk_;
    QString script_;
    QString runtime_;
};

}  // namespace cage
