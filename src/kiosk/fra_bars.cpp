#include "kiosk/fra_bars.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

// Five keys fit beside each other under the pages.
constexpr QSize BarButtonSize{108, 85};
constexpr int BarIconSize = 44;

QToolButton* MakeBarButton(const QString& name, const QString& caption, const QPixmap& picture,
                           bool flat, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(BarIconSize, BarIconSize));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedSize(BarButtonSize);
    button->setFont(KioskFont(KioskFace::Tahoma, 16));
    MakeKeypadKey(button);
    // Without the style's side padding "Assistance" fits the key.
    button->setStyleSheet(QStringLiteral("QToolButton { padding: 2px 0px; }"));
    if (flat) {
        button->setAutoRaise(true);
        button->setStyleSheet(QStringLiteral(
            "QToolButton { color: white; background: transparent; border: none; padding: 2px "
            "0px; }"
            "QToolButton:pressed { background: rgba(255, 255, 255, 40); border-radius: 10px; }"));
    }
    return button;
}

}  // namespace

QString ClockText(const QDateTime& now) {
    return QLocale().toString(now, QStringLiteral("ddd, d. MMM yyyy, hh:mm:ss"));
}

TfraTopBar::TfraTopBar(QWidget* parent) : TClickPanel(parent) {
    setObjectName(QStringLiteral("pnTop"));
    setFixedHeight(KioskBarHeight);
    setColour(KioskBarColour);

    lbSiteName = new QLabel(QStringLiteral("HILLTOP"), this);
    lbSiteName->setObjectName(QStringLiteral("lbSiteName"));
    lbSiteName->setTextFormat(Qt::PlainText);
    lbSiteName->setFont(KioskFont(KioskFace::ArialBlack, 43));
    lbTime = new QLabel(QStringLiteral("00:00:00"), this);
    lbTime->setObjectName(QStringLiteral("lbTime"));
    lbTime->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    for (QLabel* label : {lbSiteName, lbTime}) {
        SetPaletteColour(*label, QPalette::WindowText, Qt::white);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(28, 0, 28, 0);
    layout->addWidget(lbSiteName);
    layout->addStretch(1);
    layout->addWidget(lbTime);
}

void TfraTopBar::setSiteName(const QString& name) {
    lbSiteName->setText(name);
}

void TfraTopBar::setTime(const QString& text) {
    lbTime->setText(text);
}

TfraBottomBar::TfraBottomBar(QWidget* parent) : TClickPanel(parent) {
    setObjectName(QStringLiteral("pnBottom"));
    setFixedHeight(KioskBarHeight);
    setColour(KioskBarColour);

    auto* cmAssistance = MakeBarButton(QStringLiteral("cmAssistance"), QStringLiteral("Assistance"),
                                       AssistanceArt(BarIconSize, Qt::white), true, this);
    auto* cmSpeech = MakeBarButton(QStringLiteral("cmSpeech"), QStringLiteral("Speech"),
                                   SpeechArt(BarIconSize, Qt::white), true, this);
    auto* cmLargeText = MakeBarButton(QStringLiteral("cmLargeText"), QStringLiteral("Large Text"),
                                      LargeTextArt(BarIconSize, Qt::white), true, this);
    cmTopups = MakeBarButton(QStringLiteral("cmTopups"), QStringLiteral("Top-Ups"),
                             TopupArt(BarIconSize, KioskTextColour), false, this);
    auto* cmLookup = MakeBarButton(QStringLiteral("cmLookup"), QStringLiteral("Find"),
                                   FindArt(BarIconSize, Qt::white), true, this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    MarkAssistanceKey(cmAssistance);
    layout->addWidget(cmAssistance);
    layout->addWidget(cmSpeech);
    layout->addWidget(cmLargeText);
    layout->addStretch(1);
    layout->addWidget(cmTopups);
    layout->addWidget(cmLookup);

    connect(cmAssistance, &QToolButton::clicked, this, &TfraBottomBar::assistanceClicked);
    connect(cmSpeech, &QToolButton::clicked, this, &TfraBottomBar::speechClicked);
    connect(cmLargeText, &QToolButton::clicked, this, &TfraBottomBar::largeTextClicked);
    connect(cmTopups, &QToolButton::clicked, this, &TfraBottomBar::topupsClicked);
    connect(cmLookup, &QToolButton::clicked, this, &TfraBottomBar::lookupClicked);
}

void TfraBottomBar::setTopupsVisible(bool visible) {
    cmTopups->setVisible(visible);
}
