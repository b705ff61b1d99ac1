#include "ui/fm_splash.h"

#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QThread>
#include <algorithm>
#include <memory>

#include "ui/wg_BusyScope.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_SplashArtwork.h"
#include "ui/wg_Window.h"

namespace {

std::unique_ptr<TfmSplash>& SplashSlot() {
    static std::unique_ptr<TfmSplash> splash;
    return splash;
}

int& WaitMs() {
    static int milliseconds = 2000;
    return milliseconds;
}

QLabel* MakeCentredLabel(QWidget* parent, const QString& name, const QString& text,
                         const QFont& font, const QColor& colour, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(rect);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

void AddShadow(QWidget& widget, const QColor& colour, int blur) {
    auto* shadow = new QGraphicsDropShadowEffect(&widget);
    shadow->setColor(colour);
    shadow->setBlurRadius(blur);
    shadow->setOffset(2, 3);
    widget.setGraphicsEffect(shadow);
}

}  // namespace

TfmSplash::TfmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("fmSplash"));
    setFixedSize(FormSize);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0, 128, 192));
    setPalette(palette);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->setScaledContents(true);
    Image1->setPixmap(DrawSplashArtwork(FormSize));

    const int width = FormSize.width();
    Label1 = MakeCentredLabel(
        this, QStringLiteral("Label1"), QStringLiteral("KelvoPOS Self Service"),
        KioskFont(KioskFace::ArialBlack, 43, true), QColor(243, 184, 5), QRect(0, 44, width, 64));
    AddShadow(*Label1, QColor(0, 30, 60, 200), 12);
    lbVersion =
        MakeCentredLabel(this, QStringLiteral("lbVersion"), QString(),
                         KioskFont(KioskFace::Arial, 27), Qt::black, QRect(0, 118, width, 40));
}

void TfmSplash::setStatus(const QString& text) {
    lbVersion->setText(text);
}

void ShowSplash() {
    auto& splash = SplashSlot();
    if (!splash) {
        // A splash still open when the application ends must go before the application does.
        static const bool cleanupRegistered = (qAddPostRoutine([] { SplashSlot().reset(); }), true);
        Q_UNUSED(cleanupRegistered);
        splash = std::make_unique<TfmSplash>();
        CentreOnScreen(*splash);
    }
    splash->show();
    splash->repaint();
    TBusyScope::keepAlive();
}

void ShowSplashStatus(const QString& text) {
    if (TfmSplash* splash = Splash()) {
        splash->setStatus(text);
        splash->repaint();
        TBusyScope::keepAlive();
    }
    QThread::msleep(static_cast<unsigned long>(std::max(0, WaitMs())));
}

void CloseSplash() {
    auto& splash = SplashSlot();
    if (!splash) return;
    splash->hide();
    splash.reset();
}

TfmSplash* Splash() {
    return SplashSlot().get();
}

void SetSplashWaitMs(int milliseconds) {
    WaitMs() = milliseconds;
}

int SplashWaitMs() {
    return WaitMs();
}
