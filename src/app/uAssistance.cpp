#include "app/uAssistance.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include "app/uFiles.h"
#include "app/uLog.h"

TAssistanceConfig LoadAssistanceConfig(const QString& dataFolder) {
    TAssistanceConfig config;
    const QString path = IncludeSlash(dataFolder) + QStringLiteral("Assistance.ini");
    if (!QFileInfo::exists(path)) return config;
    const QSettings ini(path, QSettings::IniFormat);
    config.command = ini.value(QStringLiteral("Assistance/Command")).toString().trimmed();
    config.tone = ini.value(QStringLiteral("Assistance/Tone"), true).toBool();
    return config;
}

bool CallAssistance(const TAssistanceConfig& config) {
    WriteLog(QStringLiteral("Assistance called by a customer"), 0);
    if (config.command.isEmpty()) return true;
    QStringList arguments = QProcess::splitCommand(config.command);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (!program.isEmpty() && QProcess::startDetached(program, arguments)) {
        WriteLog(QStringLiteral("Assistance command started: ") + config.command, 1);
        return true;
    }
    WriteLog(QStringLiteral("Assistance command could not start: ") + config.command, 0);
    return false;
}
