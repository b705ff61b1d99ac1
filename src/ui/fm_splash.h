#pragma once

#include <QSize>
#include <QWidget>

class QLabel;

// The start-up splash: artwork, the product name and a version line that start-up replaces.
class TfmSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize FormSize{693, 449};

    explicit TfmSplash(QWidget* parent = nullptr);

    void setStatus(const QString& text);

private:
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lbVersion = nullptr;
};

// Creates the splash if needed, shows it and paints it at once.
void ShowSplash();
// Shows the text on the splash (when there is one), then holds start-up for the splash wait
// (2000 ms) in any case, so the operator can read the versions.
void ShowSplashStatus(const QString& text);
// Hides and frees the splash; harmless when it is already closed.
void CloseSplash();
// The splash on screen, or nullptr.
TfmSplash* Splash();
// The wait of ShowSplashStatus, in milliseconds.
void SetSplashWaitMs(int milliseconds);
int SplashWaitMs();
