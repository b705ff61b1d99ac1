#include "backoffice/uImportAttempts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

const QString kSuffix = u".attempts"_s;

}  // namespace

ImportAttemptMark::ImportAttemptMark(const QString& updateFile) : path_(pathOf(updateFile)) {}

QString ImportAttemptMark::pathOf(const QString& updateFile) {
    return updateFile + kSuffix;
}

int ImportAttemptMark::interrupted() const {
    QFile file(path_);
    if (!file.exists()) return 0;
    // A mark that is there but cannot be read still stands for one interrupted attempt.
    if (!file.open(QIODevice::ReadOnly)) return 1;
    bool ok = false;
    const int count = file.read(32).trimmed().toInt(&ok);
    return ok && count > 0 ? count : 1;
}

bool ImportAttemptMark::begin() {
    // Written aside, flushed to the disk and renamed over the old mark: a power cut leaves
    // either the old count or the new one.
    const QByteArray count = QByteArray::number(interrupted() + 1) + '\n';
    QSaveFile file(path_);
    return file.open(QIODevice::WriteOnly) && file.write(count) == count.size() && file.commit();
}

void ImportAttemptMark::clear() {
    QFile::remove(path_);
}

void ImportAttemptMark::removeOrphans(const QString& importFolder) {
    const QDir folder(importFolder);
    for (const QString& mark : folder.entryList({u"*"_s + kSuffix}, QDir::Files)) {
        const QString updateFile = folder.filePath(mark.chopped(kSuffix.size()));
        if (!QFile::exists(updateFile)) QFile::remove(folder.filePath(mark));
    }
}
