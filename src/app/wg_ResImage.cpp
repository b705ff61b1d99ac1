#include "app/wg_ResImage.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

namespace {

// The file a picture name stands for, or empty when the name is empty or would leave the
// folder (names come from update files).
QString PicturePath(QString name, const QString& resFolder) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.'))
        return {};
    if (QFileInfo(name).suffix().isEmpty()) name += QLatin1String(".png");
    return QDir(resFolder).filePath(name);
}

}  // namespace

bool LoadResImage(const QString& name, QLabel* image, const QString& resFolder) {
    if (!image) return false;
    image->clear();
    const QString path = PicturePath(name, resFolder);
    if (path.isEmpty() || !QFileInfo::exists(path)) return false;
    QPixmap picture;
    if (!picture.load(path, "PNG")) return false;
    const QSize room = image->contentsRect().size();
    if (!room.isEmpty() && (picture.width() > room.width() || picture.height() > room.height()))
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(picture);
    return true;
}
