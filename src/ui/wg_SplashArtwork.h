#pragma once

#include <QPixmap>
#include <QSize>

// The splash picture: a fuel station forecourt under an evening sky, drawn at the given size.
QPixmap DrawSplashArtwork(const QSize& size);
