#pragma once

#include <QColor>
#include <QPen>
#include <QPixmap>
#include <functional>

class QPainter;

// The pictures of the main screen's buttons and strips, drawn rather than shipped so the
// screen needs no files besides the program.

// A transparent square picture, painted at a device-independent 100 x 100 scale.
QPixmap DrawArt(int size, const std::function<void(QPainter&)>& paint);
// A round-capped, round-joined line of the pictures.
QPen Stroke(const QColor& colour, qreal width);

QPixmap AssistanceArt(int size, const QColor& colour);
QPixmap SpeechArt(int size, const QColor& colour);
QPixmap LargeTextArt(int size, const QColor& colour);
QPixmap TopupArt(int size, const QColor& colour);
QPixmap FindArt(int size, const QColor& colour);
QPixmap BasketArt(int size, const QColor& colour);
// The top-up page's confirm, go-back and cancel pictures.
QPixmap ConfirmArt(int size, const QColor& colour);
QPixmap BackArt(int size, const QColor& colour);
QPixmap CancelArt(int size, const QColor& colour);
// The scanner beam over a barcode, shown on the idle sale page.
QPixmap ScanArt(int width, int height, const QColor& colour, const QColor& beam);
