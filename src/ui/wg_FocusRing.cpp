#include "ui/wg_FocusRing.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>

namespace {

const QColor RingYellow(0xff, 0xd6, 0x00);

}  // namespace

TFocusRing::TFocusRing(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("kioskFocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

TFocusRing& TFocusRing::of(QWidget* window) {
    if (TFocusRing* ring = find(window)) return *ring;
    return *new TFocusRing(window);
}

TFocusRing* TFocusRing::find(const QWidget* window) {
    return window ? window->findChild<TFocusRing*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void TFocusRing::follow(QWidget* key) {
    if (key == fTarget) return place();
    watch(false);
    fTarget = key;
    watch(true);
    place();
}

// The key and every widget between it and the window: a scrolled or re-laid-out parent moves
// the key on the window without the key itself being told.
void TFocusRing::watch(bool on) {
    for (QWidget* w = fTarget; w && w != parentWidget(); w = w->parentWidget()) {
        if (on)
            w->installEventFilter(this);
        else
            w->removeEventFilter(this);
    }
}

void TFocusRing::place() {
    if (!fTarget || !fTarget->isVisible() || fTarget->window() != parentWidget()) {
        hide();
        return;
    }
    const QRect key(fTarget->mapTo(parentWidget(), QPoint(0, 0)), fTarget->size());
    // A key at the edge of the window has the ring's band over its own edge there.
    setGeometry(key.adjusted(-Thickness, -Thickness, Thickness, Thickness)
                    .intersected(parentWidget()->rect()));
    // Only the band is the ring's: the key shows through the middle.
    setMask(QRegion(rect()) -
            QRegion(rect().adjusted(Thickness, Thickness, -Thickness, -Thickness)));
    show();
    raise();
    update();
}

bool TFocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        case QEvent::ParentChange:
            follow(nullptr);
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void TFocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    painter.fillRect(outer, Qt::black);
    painter.fillRect(outer.adjusted(1, 1, -1, -1), RingYellow);
    painter.fillRect(outer.adjusted(5, 5, -5, -5), Qt::black);
}
