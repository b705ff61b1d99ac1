#pragma once

#include <QColor>
#include <QFrame>

class QLabel;

// A panel that answers a touch anywhere on its background. A panel is a background and takes no
// focus; a panel that is a key (a tile, an item key) takes it from the keyboard only
// (MakeKeypadKey), so a touch leaves the scan buffer its focus.
class TClickPanel : public QFrame {
    Q_OBJECT
public:
    explicit TClickPanel(QWidget* parent = nullptr);

    void setColour(const QColor& colour);
    QColor colour() const;

    // A touch, as the finger would give it.
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool fPressed = false;
};

// A coloured tile with a bold, centred, word-wrapped caption; a touch on the tile or on its
// caption runs the same handler.
class TfraTile : public TClickPanel {
    Q_OBJECT
public:
    TfraTile(const QString& name, const QString& caption, const QColor& colour,
             const QColor& captionColour, QWidget* parent = nullptr);

    QString caption() const;

private:
    QLabel* fCaption = nullptr;
};
