#include "support/CageSession.h"

#include <QFile>
#include <QLibraryInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace cage {

QString user() {
    return QStringLiteral("nobody");
}

QString whyNot(std::initializer_list<const char*> tools) {
    if (::geteuid() != 0) return QStringLiteral("starting the kiosk as another user needs root");
    if (::getpwnam(user().toLocal8Bit().constData()) == nullptr)
        return QStringLiteral("there is no user %1").arg(user());
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

}  // namespace cage
