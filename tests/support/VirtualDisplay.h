#pragma once

#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

// An X server of its own (Xvfb) with one screen of the given size, for as long as the object
// lives, and the input a person gives it through the XTEST extension (xdotool).
class VirtualDisplay {
public:
    explicit VirtualDisplay(const QSize& size);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Why no virtual display can be had on this machine, or nothing when it can.
    static QString whyNone();

    bool isRunning() const { return !name_.isEmpty(); }
    QString name() const { return name_; }  // ":N"
    // A touch (a press and a release of the first button) at a point of the screen.
    void touch(const QPoint& point);
    // Keys typed, as a scanner types a code and ends it with Enter.
    void scan(const QString& code);
    // Waits for a window to be shown (a compositor's output, say) and sizes it to the screen;
    // false when none was shown within the time.
    bool fitShownWindow(int timeoutMs);

private:
    QString xdotool(const QStringList& arguments, bool mustSucceed = true);

    QProcess server_;
    QString name_;
    QSize size_;
};
