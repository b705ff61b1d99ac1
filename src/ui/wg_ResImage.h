#pragma once

#include <QString>

class QLabel;

// Shows the picture "name" (".png" added when the name has no extension) from the pictures
// folder resFolder (ending with "/") in image, shrunk to fit and centred. The image is cleared
// first; an empty name, a missing or unreadable file, or a name that leads out of the folder
// leaves it empty. Never raises. True when a picture is shown.
bool LoadResImage(const QString& name, QLabel* image, const QString& resFolder);

// As LoadResImage, but the file is named exactly as stored (no extension added) and its
// format is told by the file itself.
bool LoadStoredImage(const QString& name, QLabel* image, const QString& resFolder);
