#pragma once

#include <QGraphicsView>
#include <QSize>

class QGraphicsScene;
class QWidget;

// A full-screen window that shows one widget of a fixed design size scaled down to fit the
// screen, centred, with the widget's own background colour around it. For screens smaller than
// the design, where Qt's own scale factor (below 1) lays widgets out scaled but paints them at
// full size, cut off. The widget is drawn through the view's transform, so text and artwork are
// drawn at the screen's resolution, and touches and keys reach it as if it were shown at its own
// size; the dialogs it opens are taken into the scene by Qt and scaled alike.
class TScaledHost : public QGraphicsView {
public:
    TScaledHost(QWidget& content, const QSize& design);
    ~TScaledHost() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    QGraphicsScene* scene_;
    QWidget& content_;
    QSize design_;
};
