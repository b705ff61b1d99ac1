#include "ui/wg_ScaledHost.h"

#include <QCoreApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QPainter>
#include <QResizeEvent>
#include <QWidget>

#include "ui/wg_Window.h"

TScaledHost::TScaledHost(QWidget& content, const QSize& design)
    : scene_(new QGraphicsScene(this)), content_(content), design_(design) {
    setObjectName(QStringLiteral("ScaledHost"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(content.windowTitle());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                   QPainter::SmoothPixmapTransform);
    setAlignment(Qt::AlignCenter);
    content.setWindowFlags(Qt::Widget);
    content.setFixedSize(design);
    // Shown first, off the screen: a window of its own collects its repaints, which then go to
    // the scene (without it, its changes would show only when the view repaints for a touch).
    content.setAttribute(Qt::WA_DontShowOnScreen);
    content.show();
    QGraphicsProxyWidget* proxy = scene_->addWidget(&content);
    // Keys (the scanner's) go to the window's focus from the start, not after a first touch.
    scene_->setFocusItem(proxy);
    // Its show handler ran its first events before the window counted as mapped, so the
    // repaints then asked for were dropped and left marked pending: no later repaint would be
    // asked for. Mapped now, one sync request clears them, and the scene gets every one after.
    content.setAttribute(Qt::WA_Mapped);
    QCoreApplication::postEvent(&content, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(design)));
    setScene(scene_);
}

// The content belongs to its owner, not to the scene: it is taken out before the scene goes.
TScaledHost::~TScaledHost() {
    if (QGraphicsProxyWidget* proxy = content_.graphicsProxyWidget()) proxy->setWidget(nullptr);
}

void TScaledHost::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    const double scale = DesignScale(event->size(), design_);
    setTransform(QTransform::fromScale(scale, scale));
}

// The margin follows the content's colour, which the branding may change.
void TScaledHost::drawBackground(QPainter* painter, const QRectF& rect) {
    painter->fillRect(rect, content_.palette().window());
}
