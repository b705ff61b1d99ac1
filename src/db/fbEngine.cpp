#include "db/fbEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include "db/fbError.h"

namespace fb {

namespace {

std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}

bool& Loaded() {
    static bool loaded = false;
    return loaded;
}

// Creates the folder (and its parents) for this user only; raises when it cannot be used.
void makePrivateFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("Cannot create the engine folder %1").arg(folder));
    struct stat info {};
    const QByteArray path = QFile::encodeName(folder);
    if (::stat(path.constData(), &info) != 0 || info.st_uid != ::geteuid())
        throw Error(QStringLiteral("The engine folder %1 belongs to another user").arg(folder));
    ::chmod(path.constData(), S_IRWXU);
}

void setUnlessSet(const char* variable, const QString& folder) {
    if (!qEnvironmentVariableIsEmpty(variable)) return;
    makePrivateFolder(folder);
    qputenv(variable, QFile::encodeName(folder));
}

}  // namespace

void UsePrivateEngineFolders(const QString& base) {
    setUnlessSet("FIREBIRD_LOCK", QDir(base).filePath(QStringLiteral("lock")));
    setUnlessSet("FIREBIRD_TMP", QDir(base).filePath(QStringLiteral("tmp")));
}

QString DefaultEngineFolder(const QString& application) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(application + QStringLiteral("/firebird"));
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("%1-%2").arg(application).arg(::geteuid()));
    makePrivateFolder(own);
    return own + QStringLiteral("/firebird");
}

void AfterEngineLoad(std::function<void()> hook) {
    Hook() = std::move(hook);
    if (Loaded() && Hook()) Hook()();
}

void EngineLoaded() {
    if (Loaded()) return;
    Loaded() = true;
    if (Hook()) Hook()();
}

}  // namespace fb
