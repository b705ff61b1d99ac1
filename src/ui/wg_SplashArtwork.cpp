#include "ui/wg_SplashArtwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

// The scene is drawn on a 693 x 449 canvas and scaled to the size asked for.
namespace {

constexpr QSizeF Canvas(693, 449);
constexpr qreal Horizon = 318;
const QColor BrandYellow(243, 184, 5);
const QColor Slate(62, 84, 120);

void DrawSky(QPainter& p) {
    QLinearGradient sky(0, 0, 0, Horizon);
    sky.setColorAt(0.0, QColor(0, 58, 112));
    sky.setColorAt(0.42, QColor(0, 128, 192));
    sky.setColorAt(0.80, QColor(126, 194, 228));
    sky.setColorAt(1.0, QColor(252, 214, 160));
    p.fillRect(QRectF(0, 0, Canvas.width(), Horizon), sky);

    QRadialGradient glow(QPointF(560, Horizon), 260);
    glow.setColorAt(0.0, QColor(255, 214, 140, 150));
    glow.setColorAt(1.0, QColor(255, 214, 140, 0));
    p.fillRect(QRectF(0, 0, Canvas.width(), Horizon), glow);
}

void DrawHills(QPainter& p) {
    QPainterPath hills(QPointF(0, Horizon));
    hills.lineTo(0, Horizon - 26);
    hills.cubicTo(110, Horizon - 58, 190, Horizon - 14, 290, Horizon - 34);
    hills.cubicTo(390, Horizon - 56, 470, Horizon - 8, 560, Horizon - 30);
    hills.cubicTo(620, Horizon - 44, 660, Horizon - 30, Canvas.width(), Horizon - 36);
    hills.lineTo(Canvas.width(), Horizon);
    hills.closeSubpath();
    p.fillPath(hills, QColor(54, 92, 128, 200));
}

void DrawForecourt(QPainter& p) {
    QLinearGradient ground(0, Horizon, 0, Canvas.height());
    ground.setColorAt(0.0, QColor(88, 96, 108));
    ground.setColorAt(1.0, QColor(38, 42, 50));
    p.fillRect(QRectF(0, Horizon, Canvas.width(), Canvas.height() - Horizon), ground);

    // Lane markings running towards the horizon.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 236, 228, 150));
    const qreal centre = Canvas.width() / 2;
    for (int lane = -2; lane <= 2; ++lane) {
        const qreal farX = centre + lane * 70;
        const qreal nearX = centre + lane * 260;
        QPolygonF stripe;
        stripe << QPointF(farX - 2, Horizon + 44) << QPointF(farX + 2, Horizon + 44)
               << QPointF(nearX + 7, Canvas.height()) << QPointF(nearX - 7, Canvas.height());
        p.drawPolygon(stripe);
    }
}

void DrawPriceSign(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 78, 92));
    p.drawRect(QRectF(66, 236, 10, 96));
    p.setBrush(Slate);
    p.drawRoundedRect(QRectF(34, 168, 74, 78), 6, 6);
    p.setBrush(BrandYellow);
    p.drawRoundedRect(QRectF(34, 168, 74, 18), 6, 6);
    p.drawRect(QRectF(34, 178, 74, 8));
    for (int row = 0; row < 3; ++row) {
        p.setBrush(QColor(20, 26, 36));
        p.drawRoundedRect(QRectF(42, 193 + row * 17, 58, 12), 2, 2);
        p.setBrush(QColor(255, 196, 40));
        for (int digit = 0; digit < 3; ++digit)
            p.drawRect(QRectF(66 + digit * 10, 196 + row * 17, 6, 6));
    }
}

void DrawLightCones(QPainter& p, const QRectF& underside) {
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const qreal x = underside.left() + 60 + i * 118;
        QLinearGradient cone(0, underside.bottom(), 0, Horizon + 60);
        cone.setColorAt(0.0, QColor(255, 250, 225, 90));
        cone.setColorAt(1.0, QColor(255, 250, 225, 0));
        QPolygonF beam;
        beam << QPointF(x - 14, underside.bottom()) << QPointF(x + 14, underside.bottom())
             << QPointF(x + 58, Horizon + 60) << QPointF(x - 58, Horizon + 60);
        p.setBrush(cone);
        p.drawPolygon(beam);
    }
}

void DrawCanopy(QPainter& p) {
    const QRectF fascia(118, 198, 457, 34);
    const QRectF underside(128, 232, 437, 8);
    p.setPen(Qt::NoPen);

    // Pillars first, so the fascia sits over their tops.
    QLinearGradient pillar(0, 0, 1, 0);
    pillar.setCoordinateMode(QGradient::ObjectMode);
    pillar.setColorAt(0.0, QColor(150, 158, 170));
    pillar.setColorAt(1.0, QColor(96, 104, 118));
    p.setBrush(pillar);
    p.drawRect(QRectF(172, 238, 14, 110));
    p.drawRect(QRectF(507, 238, 14, 110));

    p.setBrush(QColor(205, 212, 222));
    p.drawRect(underside);
    DrawLightCones(p, underside);
    p.setBrush(QColor(255, 252, 236));
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF(underside.left() + 44 + i * 118, 236, 32, 4));

    QLinearGradient face(0, fascia.top(), 0, fascia.bottom());
    face.setColorAt(0.0, QColor(250, 252, 255));
    face.setColorAt(1.0, QColor(214, 222, 234));
    p.setBrush(face);
    p.drawRoundedRect(fascia, 3, 3);
    p.setBrush(Slate);
    p.drawRect(QRectF(fascia.left(), fascia.top() + 12, fascia.width(), 9));
    p.setBrush(BrandYellow);
    p.drawRect(QRectF(fascia.left(), fascia.top() + 21, fascia.width(), 4));
}

void DrawPump(QPainter& p, qreal centreX) {
    const qreal top = 262;
    const QRectF body(centreX - 24, top, 48, 86);
    p.setPen(Qt::NoPen);

    p.setBrush(QColor(120, 128, 140));
    p.drawRoundedRect(QRectF(centreX - 40, 344, 80, 12), 4, 4);  // island

    QLinearGradient shell(body.topLeft(), body.topRight());
    shell.setColorAt(0.0, QColor(246, 248, 252));
    shell.setColorAt(1.0, QColor(196, 204, 216));
    p.setBrush(shell);
    p.drawRoundedRect(body, 5, 5);
    p.setBrush(Slate);
    p.drawRoundedRect(QRectF(body.left(), top, body.width(), 14), 5, 5);
    p.drawRect(QRectF(body.left(), top + 7, body.width(), 7));
    p.setBrush(BrandYellow);
    p.drawRect(QRectF(body.left(), top + 14, body.width(), 3));

    p.setBrush(QColor(24, 32, 44));
    p.drawRoundedRect(QRectF(centreX - 15, top + 24, 30, 18), 2, 2);  // display
    p.setBrush(QColor(120, 220, 160));
    p.drawRect(QRectF(centreX - 11, top + 29, 22, 3));
    p.drawRect(QRectF(centreX - 11, top + 35, 14, 3));

    p.setBrush(QColor(60, 66, 78));
    p.drawRoundedRect(QRectF(body.right() - 9, top + 50, 7, 18), 2, 2);  // nozzle holder
    QPainterPath hose(QPointF(body.right() - 5, top + 66));
    hose.cubicTo(body.right() + 16, top + 82, body.right() + 12, top + 40, body.right() + 2,
                 top + 30);
    QPen hosePen(QColor(30, 34, 40), 3);
    hosePen.setCapStyle(Qt::RoundCap);
    p.strokePath(hose, hosePen);
}

}  // namespace

QPixmap DrawSplashArtwork(const QSize& size) {
    QPixmap pixmap(size);
    pixmap.fill(QColor(0, 128, 192));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / Canvas.width(), size.height() / Canvas.height());
    DrawSky(painter);
    DrawHills(painter);
    DrawForecourt(painter);
    DrawPriceSign(painter);
    DrawCanopy(painter);
    for (const qreal x : {250.0, 346.5, 443.0}) DrawPump(painter, x);
    return pixmap;
}
