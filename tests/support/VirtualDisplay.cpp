#include "support/VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <stdexcept>

VirtualDisplay::VirtualDisplay(const QSize& size) {
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd: the server picks a free display and writes its number once it serves.
    server_.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
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

void VirtualDisplay::xdotool(const QStringList& arguments) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name_);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        throw std::runtime_error("xdotool " + arguments.join(u' ').toStdString() +
                                 " failed: " + tool.readAllStandardError().toStdString());
}
