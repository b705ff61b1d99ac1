#pragma once

#include <QPointer>
#include <QWidget>

// The visible focus: a thick ring of two colours (black, bright yellow, black) around the
// focused key, which shows on any background. It is a child of the key's window, raised above
// everything there, and follows the key as it moves, is resized or hides. It takes no touch.
class TFocusRing : public QWidget {
    Q_OBJECT
public:
    // How far the ring stands out around the key: 1 black, 4 yellow, 2 black pixels.
    static constexpr int Thickness = 7;

    // The ring of window, made on first use.
    static TFocusRing& of(QWidget* window);
    // The ring of window if it has one.
    static TFocusRing* find(const QWidget* window);

    // Rings key (of this ring's window), or hides the ring for nullptr.
    void follow(QWidget* key);
    QWidget* target() const { return fTarget; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TFocusRing(QWidget* window);
    void watch(bool on);
    void place();

    QPointer<QWidget> fTarget;
};
