#include "support/VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <stdexcept>

VirtualDisplay::VirtualDisplay(const QSize& size) : size_(size) {
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd: the server picks a free display and writes its number once it serves.
    // -noreset: the server would reset when its last client leaves (a check that cage runs, an
    // xdotool call), and refuse whoever connects during the reset.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                   QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!server_.waitForStarted()) throw std::runtime_error("Xvfb did not start");
    const QDeadlineTimer deadline(20000);
    while (!server_.canReadLine() && !deadline.hasExpired() && server_.state() == QProcess::Running)
        server_.waitForReadyRead(100);
    const QString number = QString::fromLatin1(server_.readLine()).trimmed();
    if (number.isEmpty())
        throw std::runtime_error("Xvfb did not serve a display: " +
                                 server_.readAllStandardError().toStdString());
    name_ = u':' + number;
}

VirtualDisplay::~VirtualDisplay() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished();
}

QString VirtualDisplay::whyNone() {
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    return {};
}

void VirtualDisplay::touch(const QPoint& point) {
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
             QStringLiteral("click"), QStringLiteral("1")});
}

void VirtualDisplay::scan(const QString& code) {
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), code});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}

bool VirtualDisplay::fitShownWindow(int timeoutMs) {
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(100)) {
        const QString windows = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), QString()},
                                        false);
        // The root window comes first; a window shown on it after.
        const QStringList found = windows.split(u'\n', Qt::SkipEmptyParts);
        if (found.size() < 2) continue;
        const QString window = found.last().trimmed();
        xdotool({QStringLiteral("windowsize"), window, QString::number(size_.width()),
                 QString::number(size_.height())});
        return true;
    }
    return false;
}

QString VirtualDisplay::xdotool(const QStringList& arguments, bool mustSucceed) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name_);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool done = tool.waitForFinished(10000) && tool.exitCode() == 0;
    if (!done && mustSucceed)
        throw std::runtime_error("xdotool " + arguments.join(u' ').toStdString() +
                                 " failed: " + tool.readAllStandardError().toStdString());
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}
