#include "uKeyPictures.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <stdexcept>

namespace demo {

namespace {

constexpr int kSize = 96;

void DrawCup(QPainter& p, const QColor& colour) {
    p.setPen(QPen(QColor(120, 120, 120), 3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(58, 40, 24, 26), -90 * 16, 180 * 16);  // handle
    QPainterPath cup;
    cup.moveTo(18, 34);
    cup.lineTo(70, 34);
    cup.lineTo(64, 84);
    cup.lineTo(24, 84);
    cup.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.setBrush(Qt::white);
    p.drawPath(cup);
    p.setBrush(colour);
    p.drawRect(QRectF(22, 50, 44, 16));  // sleeve
    p.setPen(QPen(QColor(170, 170, 170), 3, Qt::SolidLine, Qt::RoundCap));
    for (int x : {32, 44, 56}) p.drawLine(QPointF(x, 26), QPointF(x + 3, 10));  // steam
}

void DrawPastry(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(150), 2));
    p.setBrush(colour);
    QPainterPath crescent;
    crescent.moveTo(10, 66);
    crescent.cubicTo(20, 14, 76, 14, 86, 66);
    crescent.cubicTo(70, 46, 26, 46, 10, 66);
    p.drawPath(crescent);
    p.setPen(QPen(colour.darker(170), 2));
    for (int x : {30, 48, 66}) p.drawLine(QPointF(x - 4, 30), QPointF(x + 2, 50));
}

void DrawLoaf(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(160), 2));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(12, 30, 72, 50), 26, 22);
    p.setPen(QPen(colour.lighter(150), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(34, 40), QPointF(62, 68));
    p.drawLine(QPointF(62, 40), QPointF(34, 68));
}

void DrawRoll(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(160), 2));
    p.setBrush(colour);
    p.drawEllipse(QRectF(6, 30, 84, 40));
    p.setPen(QPen(QColor(60, 160, 60), 5, Qt::SolidLine, Qt::RoundCap));  // filling
    p.drawLine(QPointF(16, 52), QPointF(80, 52));
    p.setPen(QPen(QColor(200, 60, 50), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18, 57), QPointF(78, 57));
}

void DrawWrap(QPainter& p, const QColor& colour) {
    QPainterPath wrap;
    wrap.moveTo(20, 20);
    wrap.lineTo(80, 36);
    wrap.lineTo(36, 86);
    wrap.closeSubpath();
    p.setPen(QPen(colour.darker(150), 2));
    p.setBrush(colour);
    p.drawPath(wrap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 170, 70));
    p.drawEllipse(QRectF(22, 22, 22, 14));
    p.setBrush(QColor(230, 200, 120));
    p.drawEllipse(QRectF(40, 26, 20, 12));
}

void DrawBowl(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(14, 30, 68, 20));  // what is in it
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(Qt::white);
    p.drawChord(QRectF(10, 10, 76, 76), 180 * 16, 180 * 16);
    p.setPen(QPen(colour.darker(130), 2));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(10, 48), QPointF(86, 48));
}

void DrawFruit(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(150), 2));
    p.setBrush(colour);
    p.drawEllipse(QRectF(16, 24, 64, 62));
    p.setPen(QPen(QColor(100, 70, 40), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(48, 26), QPointF(52, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 150, 60));
    p.drawEllipse(QRectF(52, 10, 20, 11));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QRectF(28, 36, 14, 20));  // shine
}

void DrawBanana(QPainter& p, const QColor& colour) {
    QPainterPath banana;
    banana.moveTo(14, 30);
    banana.cubicTo(20, 84, 76, 86, 86, 40);
    banana.cubicTo(70, 66, 34, 66, 14, 30);
    p.setPen(QPen(colour.darker(140), 2));
    p.setBrush(colour);
    p.drawPath(banana);
    p.setPen(QPen(QColor(90, 60, 30), 5, Qt::SolidLine, Qt::RoundCap));  // the stalk and tip
    p.drawLine(QPointF(12, 26), QPointF(16, 32));
    p.drawPoint(QPointF(86, 40));
}

void DrawDoughnut(QPainter& p, const QColor& colour) {
    QPainterPath ring;
    ring.addEllipse(QRectF(10, 14, 76, 70));
    ring.addEllipse(QRectF(38, 40, 20, 18));
    p.setPen(QPen(colour.darker(150), 2));
    p.setBrush(colour);
    p.drawPath(ring);
    p.setPen(QPen(QColor(220, 40, 80), 3, Qt::SolidLine, Qt::RoundCap));  // sprinkles
    const QPointF sprinkles[] = {{24, 30}, {62, 26}, {74, 52}, {22, 58}, {50, 72}, {40, 26}};
    for (const QPointF& s : sprinkles) p.drawLine(s, s + QPointF(4, 3));
}

void Draw(QPainter& p, PictureKind kind, const QColor& colour) {
    switch (kind) {
        case PictureKind::Cup:
            return DrawCup(p, colour);
        case PictureKind::Pastry:
            return DrawPastry(p, colour);
        case PictureKind::Loaf:
            return DrawLoaf(p, colour);
        case PictureKind::Roll:
            return DrawRoll(p, colour);
        case PictureKind::Wrap:
            return DrawWrap(p, colour);
        case PictureKind::Bowl:
            return DrawBowl(p, colour);
        case PictureKind::Fruit:
            return DrawFruit(p, colour);
        case PictureKind::Banana:
            return DrawBanana(p, colour);
        case PictureKind::Doughnut:
            return DrawDoughnut(p, colour);
    }
}

}  // namespace

void DrawKeyPicture(const KeyPicture& picture, const QString& folder) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Draw(painter, picture.kind, QColor::fromRgb(picture.rgb));
    }
    QSaveFile file(QDir(folder).filePath(picture.name));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        throw std::runtime_error(QStringLiteral("Cannot write the picture %1: %2")
                                     .arg(file.fileName(), file.errorString())
                                     .toStdString());
    }
}

}  // namespace demo
