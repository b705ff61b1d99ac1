#include "app/uProgramFolder.h"

#include <QDir>
#include <QFileInfo>

#include "app/uFiles.h"
#include "app/uTX32Reg.h"
#include "app/uText.h"

using namespace Qt::StringLiterals;

QString DatabaseLocalPath(const QString& databasePath) {
    QStringList databases;
    TTX32Reg().getDBDetails(databases, u";"_s);
    for (const QString& entry : databases)
        if (GetToken(2, entry, u";"_s).compare(databasePath, Qt::CaseInsensitive) == 0)
            return GetToken(1, entry, u";"_s);
    return QDir::isAbsolutePath(databasePath) ? databasePath : QString();
}

QString ResolveProgramFolder() {
    const auto holdsSuite = [](const QString& folder) {
        return !folder.isEmpty() && QFileInfo::exists(IncludeSlash(folder) + u"TX32Main"_s);
    };
    QString folder = TTX32Reg().ReadString({}, u"ProgramFolder"_s, rmText, {});
    if (!holdsSuite(folder)) {
        const QString programFolder = QFileInfo(ModuleFileName()).absolutePath();
        folder =
            holdsSuite(programFolder) ? programFolder : QFileInfo(programFolder).absolutePath();
    }
    return IncludeSlash(folder, true);
}

QString GetProgramFolder() {
    static const QString folder = ResolveProgramFolder();
    return folder;
}
