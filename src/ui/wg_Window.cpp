#include "ui/wg_Window.h"

#include <private/qhighdpiscaling_p.h>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void CentreOnScreen(QWidget& window) {
    // A window over one drawn inside a scaled view (wg_ScaledHost.h) is drawn in that view too:
    // in the middle of the window under it, its position given in the screen's pixels.
    if (const QWidget* parent = window.parentWidget()) {
        const QWidget* under = parent->window();
        const QGraphicsProxyWidget* proxy = under->graphicsProxyWidget();
        if (proxy && proxy->scene() && !proxy->scene()->views().isEmpty()) {
            const QGraphicsView* view = proxy->scene()->views().constFirst();
            QRect frame = window.frameGeometry();
            frame.moveCenter(under->rect().center());
            window.move(view->viewport()->mapToGlobal(
                view->mapFromScene(proxy->mapToScene(QPointF(frame.topLeft())))));
            return;
        }
    }
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    window.move(frame.topLeft());
}

double DesignScale(const QSize& screen, const QSize& design) {
    if (screen.isEmpty() || design.isEmpty()) return 1;
    return std::min(double(screen.width()) / design.width(),
                    double(screen.height()) / design.height());
}

// Qt's own device-independent scaling does the work: its factor is set for the whole program
// here, where the screen's size is first known (the public way, the environment, is read
// before any screen exists).
void ScaleDesignToScreen(const QSize& design) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // Qt's widgets draw wrongly at a factor below 1 (parts left at full size and cut off), so a
    // screen smaller than the design shows it unscaled.
    QHighDpiScaling::setGlobalFactor(std::max(1.0, DesignScale(screen->geometry().size(), design)));
}
