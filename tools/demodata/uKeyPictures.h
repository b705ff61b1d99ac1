#pragma once

#include <QString>

#include "uDemoShop.h"

namespace demo {

// Draws a key picture (96 x 96 pixels, transparent background) and saves it as a PNG file in
// the folder, replacing the file at once. Needs a QGuiApplication.
void DrawKeyPicture(const KeyPicture& picture, const QString& folder);

}  // namespace demo
