#include "ui/wg_ResImage.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

namespace {

// The file a picture name stands for, or empty when the name is empty or would leave the
// folder (names come from update files).
QString PicturePath(QString name, const QString& resFolder, bool addExtension) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.'))
        return {};
    if (addExtension && QFileInfo(name).suffix().isEmpty()) name += QLatin1String(".png");
    return QDir(resFolder).filePath(name);
}

// Shows the picture file in image, shrunk to fit and centred; format null: told by the file.
bool ShowPicture(const QString& path, const char* format, QLabel* image) {
    if (!image) return false;
    image->clear();
    if (path.isEmpty() || !QFileInfo::exists(path)) return false;
    QPixmap picture;
    if (!picture.load(path, format)) return false;
    const QSize room = image->contentsRect().size();
    if (!room.isEmpty() && (picture.width() > room.width() || picture.height() > room.height()))
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(picture);
    return true;
}

}  // namespace

bool LoadResImage(const QString& name, QLabel* image, const QString& resFolder) {
    return ShowPicture(PicturePath(name, resFolder, true), "PNG", image);
}

bool LoadStoredImage(const QString& name, QLabel* image, const QString& resFolder) {
    return ShowPicture(PicturePath(name, resFolder, false), nullptr, image);
}
