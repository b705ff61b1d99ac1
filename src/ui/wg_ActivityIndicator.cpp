#include "ui/wg_ActivityIndicator.h"

#include <QPainter>

#include <algorithm>

TActivityIndicator::TActivityIndicator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    fTimer.setInterval(FrameDelayMs);
    connect(&fTimer, &QTimer::timeout, this, [this] {
        fFrame = (fFrame + 1) % Sectors;
        update();
    });
    hide();
}

void TActivityIndicator::setAnimate(bool animate) {
    if (animate)
        fTimer.start();
    else
        fTimer.stop();
    setVisible(animate);
}

void TActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const qreal outer = std::min(width(), height()) / 2.0 - 1;
    const qreal inner = outer * 0.55;
    const QColor colour = palette().color(QPalette::Highlight);
    for (int i = 0; i < Sectors; ++i) {
        // The sector of the current frame is the darkest; those behind it fade out.
        const int age = (fFrame - i + Sectors) % Sectors;
        QColor sector = colour;
        sector.setAlphaF(1.0 - 0.8 * age / (Sectors - 1));
        painter.save();
        painter.translate(centre);
        painter.rotate(360.0 * i / Sectors);
        painter.setPen(QPen(sector, outer * 0.18, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer + outer * 0.1));
        painter.restore();
    }
}
