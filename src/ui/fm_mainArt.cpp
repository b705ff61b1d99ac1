#include "ui/fm_mainArt.h"

#include <QPainter>
#include <QPainterPath>

QPixmap DrawArt(int size, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    paint(painter);
    return pixmap;
}

QPen Stroke(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPixmap AssistanceArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A raised hand inside a ring: "help is on its way".
        p.setPen(Stroke(colour, 7));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(50, 50), 42, 42);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(50, 30), 9, 9);
        QPainterPath body;
        body.moveTo(36, 78);
        body.lineTo(38, 50);
        body.quadTo(50, 42, 62, 50);
        body.lineTo(64, 78);
        body.closeSubpath();
        p.drawPath(body);
    });
}

QPixmap SpeechArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A loudspeaker with two waves of sound.
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath speaker;
        speaker.moveTo(12, 38);
        speaker.lineTo(30, 38);
        speaker.lineTo(52, 18);
        speaker.lineTo(52, 82);
        speaker.lineTo(30, 62);
        speaker.lineTo(12, 62);
        speaker.closeSubpath();
        p.drawPath(speaker);
        p.setPen(Stroke(colour, 7));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(50, 34, 20, 32), -60 * 16, 120 * 16);
        p.drawArc(QRectF(50, 20, 38, 60), -60 * 16, 120 * 16);
    });
}

QPixmap LargeTextArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A small and a large letter A.
        p.setPen(Stroke(colour, 7));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{{8, 84}, {26, 40}, {44, 84}});
        p.drawLine(QPointF(15, 68), QPointF(37, 68));
        p.setPen(Stroke(colour, 10));
        p.drawPolyline(QPolygonF{{46, 88}, {70, 14}, {94, 88}});
        p.drawLine(QPointF(55, 62), QPointF(85, 62));
    });
}

QPixmap TopupArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A mobile phone with a plus on its screen.
        p.setPen(Stroke(colour, 6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(28, 8, 44, 84), 8, 8);
        p.drawLine(QPointF(44, 80), QPointF(56, 80));
        p.setPen(Stroke(colour, 8));
        p.drawLine(QPointF(50, 30), QPointF(50, 58));
        p.drawLine(QPointF(36, 44), QPointF(64, 44));
    });
}

QPixmap FindArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A magnifying glass.
        p.setPen(Stroke(colour, 9));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(42, 42), 26, 26);
        p.setPen(Stroke(colour, 14));
        p.drawLine(QPointF(62, 62), QPointF(86, 86));
    });
}

QPixmap BasketArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A shopping basket with its handle.
        p.setPen(Stroke(colour, 7));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(26, 10, 48, 48), 0, 180 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath basket;
        basket.moveTo(8, 38);
        basket.lineTo(92, 38);
        basket.lineTo(80, 90);
        basket.lineTo(20, 90);
        basket.closeSubpath();
        p.drawPath(basket);
        p.setPen(Stroke(Qt::white, 5));
        for (const qreal x : {34.0, 50.0, 66.0}) p.drawLine(QPointF(x, 50), QPointF(x, 80));
    });
}

QPixmap ScanArt(int width, int height, const QColor& colour, const QColor& beam) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Bars of a barcode: a fixed pattern of widths, scaled to the picture.
    static const int pattern[] = {3, 1, 1, 2, 1, 1, 3, 2, 1, 1, 2, 3, 1, 1, 2,
                                  1, 1, 3, 1, 2, 2, 1, 1, 1, 3, 1, 2, 1, 1, 3};
    int units = 0;
    for (const int w : pattern) units += w + 1;
    const qreal unit = qreal(width) / units;
    qreal x = 0;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const int w : pattern) {
        p.drawRect(QRectF(x, height * 0.1, w * unit, height * 0.8));
        x += (w + 1) * unit;
    }
    // The scanner's red line across the middle.
    p.setPen(QPen(beam, std::max(2.0, height * 0.04), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-2 + unit, height / 2.0), QPointF(width - unit, height / 2.0));
    return pixmap;
}

QPixmap ConfirmArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A tick in a filled disc.
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(50, 50), 46, 46);
        p.setPen(Stroke(Qt::white, 12));
        p.drawPolyline(QPolygonF({QPointF(27, 52), QPointF(43, 68), QPointF(74, 34)}));
    });
}

QPixmap BackArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // An arrow turning back, in a filled disc.
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(50, 50), 46, 46);
        p.setPen(Stroke(Qt::white, 10));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(34, 30, 40, 40), -90 * 16, 180 * 16);
        p.drawLine(QPointF(54, 70), QPointF(40, 70));
        p.drawLine(QPointF(54, 30), QPointF(28, 30));
        p.drawPolyline(QPolygonF({QPointF(38, 19), QPointF(27, 30), QPointF(38, 41)}));
    });
}

QPixmap CancelArt(int size, const QColor& colour) {
    return DrawArt(size, [&](QPainter& p) {
        // A cross in a ring.
        p.setPen(Stroke(colour, 8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(50, 50), 42, 42);
        p.setPen(Stroke(colour, 10));
        p.drawLine(QPointF(34, 34), QPointF(66, 66));
        p.drawLine(QPointF(66, 34), QPointF(34, 66));
    });
}
