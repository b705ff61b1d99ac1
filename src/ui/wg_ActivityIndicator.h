#pragma once

#include <QTimer>
#include <QWidget>

// A ring of sectors that turns while the kiosk waits for someone; hidden when not turning.
class TActivityIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr int FrameDelayMs = 150;
    static constexpr int Sectors = 12;

    explicit TActivityIndicator(QWidget* parent = nullptr);

    void setAnimate(bool animate);
    bool animate() const { return fTimer.isActive(); }
    int frame() const { return fFrame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer fTimer;
    int fFrame = 0;
};
