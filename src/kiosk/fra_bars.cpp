#include "kiosk/fra_bars.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <iterator>

#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_Palettes.h"

namespace {

// Five keys fit beside each other under the pages.
constexpr QSize BarButtonSize{108, 85};
constexpr int BarIconSize = 44;

using BarArt = QPixmap (*)(int, const QColor&);

// The keys drawn on the bar itself, with their pictures in the caption colour.
struct FlatKey {
    const char* name;
    const char* caption;
    BarArt art;
};
const FlatKey FlatKeys[] = {{"cmAssistance", "Assistance", AssistanceArt},
                            {"cmSpeech", "Speech", SpeechArt},
                            {"cmLargeText", "Large Text", LargeTextArt},
                            {"cmLookup", "Find", FindArt}};

QString FlatKeySheet(const QColor& caption) {
    return QStringLiteral(
               "QToolButton { color: %1; background: transparent; border: none; padding: 2px "
               "0px; }"
               "QToolButton:pressed { background: rgba(%2, %2, %2, 40); border-radius: 10px; }")
        .arg(caption.name())
        .arg(caption.lightness() > 127 ? 255 : 0);
}

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
    button->setAutoRaise(flat);
    // Without the style's side padding "Assistance" fits the key.
    button->setStyleSheet(flat ? FlatKeySheet(Qt::white)
                               : QStringLiteral("QToolButton { padding: 2px 0px; }"));
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
    connect(&TLargeText::instance(), &TLargeText::applied, this, &TfraTopBar::largeTextApplied);
}

void TfraTopBar::largeTextApplied(bool on) {
    static_cast<QBoxLayout*>(layout())->setDirection(on ? QBoxLayout::TopToBottom
                                                        : QBoxLayout::LeftToRight);
    layout()->setContentsMargins(28, on ? 4 : 0, 28, on ? 4 : 0);
    if (on) {
        setMinimumHeight(KioskBarHeight);
        setMaximumHeight(QWIDGETSIZE_MAX);
    } else {
        setFixedHeight(KioskBarHeight);
    }
}

void TfraTopBar::setBarColour(const QColor& colour) {
    setColour(colour);
    for (QLabel* label : {lbSiteName, lbTime})
        SetPaletteColour(*label, QPalette::WindowText, CaptionColourOn(colour));
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

    QToolButton* keys[std::size(FlatKeys)];
    for (size_t i = 0; i < std::size(FlatKeys); ++i)
        keys[i] = MakeBarButton(QString::fromLatin1(FlatKeys[i].name),
                                QString::fromLatin1(FlatKeys[i].caption),
                                FlatKeys[i].art(BarIconSize, Qt::white), true, this);
    auto* cmAssistance = keys[0];
    auto* cmSpeech = keys[1];
    auto* cmLargeText = keys[2];
    auto* cmLookup = keys[3];
    cmTopups = MakeBarButton(QStringLiteral("cmTopups"), QStringLiteral("Top-Ups"),
                             TopupArt(BarIconSize, KioskTextColour), false, this);

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
    connect(&TLargeText::instance(), &TLargeText::applied, this, &TfraBottomBar::largeTextApplied);
}

void TfraBottomBar::largeTextApplied(bool on) {
    // The key's own face is black in the mode: its picture turns to the mode's key colour.
    cmTopups->setIcon(QIcon(TopupArt(BarIconSize, on ? HighContrast::KeyText : KioskTextColour)));
    for (auto* key : findChildren<QToolButton*>()) {
        if (on) {
            key->setMinimumWidth(BarButtonSize.width() / 2);
            key->setMaximumWidth(QWIDGETSIZE_MAX);
        } else {
            key->setFixedSize(BarButtonSize);
        }
    }
}

void TfraBottomBar::setBarColour(const QColor& colour) {
    setColour(colour);
    const QColor caption = CaptionColourOn(colour);
    if (caption == fCaptionColour) return;
    fCaptionColour = caption;
    for (const FlatKey& key : FlatKeys) {
        auto* button = findChild<QToolButton*>(QString::fromLatin1(key.name));
        button->setIcon(QIcon(key.art(BarIconSize, caption)));
        button->setStyleSheet(FlatKeySheet(caption));
    }
}

void TfraBottomBar::setTopupsVisible(bool visible) {
    cmTopups->setVisible(visible);
}
