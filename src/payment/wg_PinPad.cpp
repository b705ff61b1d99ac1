#include "payment/wg_PinPad.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"

namespace {

constexpr QSize PadSize{260, 420};
constexpr int ScreenMargin = 24;
const QColor CaseColour(0x2b, 0x2f, 0x36);
const QColor DisplayColour(0xc8, 0xd8, 0xa8);

}  // namespace

TPinPadWindow::TPinPadWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("PinPadWindow"));
    setWindowTitle(QStringLiteral("Virtual PIN pad"));
    setFixedSize(PadSize);
    setAutoFillBackground(true);
    SetPaletteColour(*this, QPalette::Window, CaseColour);

    lbDisplay = new QLabel(this);
    lbDisplay->setObjectName(QStringLiteral("lbDisplay"));
    lbDisplay->setTextFormat(Qt::PlainText);
    lbDisplay->setAlignment(Qt::AlignCenter);
    lbDisplay->setWordWrap(true);
    lbDisplay->setMinimumHeight(130);
    lbDisplay->setFont(KioskFont(KioskFace::LucidaSansTypewriter, 15, true));
    lbDisplay->setAutoFillBackground(true);
    SetPaletteColour(*lbDisplay, QPalette::Window, DisplayColour);
    SetPaletteColour(*lbDisplay, QPalette::WindowText, CaseColour);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(10);
    layout->addWidget(lbDisplay);
    cmApprove = addButton(QStringLiteral("cmApprove"), QStringLiteral("Approve"),
                          QColor(0x2e, 0x9e, 0x4f), TPinPadChoice::Approve);
    cmDecline = addButton(QStringLiteral("cmDecline"), QStringLiteral("Decline"),
                          QColor(0xc6, 0x3b, 0x3b), TPinPadChoice::Decline);
    cmRemoveCard = addButton(QStringLiteral("cmRemoveCard"), QStringLiteral("Remove card"),
                             QColor(0xe0, 0xa8, 0x2e), TPinPadChoice::RemoveCard);
    cmNoTerminal = addButton(QStringLiteral("cmNoTerminal"), QStringLiteral("No terminal"),
                             QColor(0x6b, 0x74, 0x80), TPinPadChoice::NoTerminal);
    offerChoice(false);

    // Beside the kiosk's dialogs, which stand in the middle of the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - PadSize.width() - ScreenMargin, area.top() + ScreenMargin);
    }
    show();
    raise();
}

QPushButton* TPinPadWindow::addButton(const QString& name, const QString& caption,
                                      const QColor& colour, TPinPadChoice choice) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFont(KioskFont(KioskFace::Tahoma, 15, true));
    button->setMinimumHeight(44);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: %1; border: none;"
                       " border-radius: 8px; }"
                       "QPushButton:disabled { color: #9aa3ad; background: #3c424b; }")
            .arg(colour.name()));
    connect(button, &QPushButton::clicked, this, [this, choice] { fChoice = choice; });
    qobject_cast<QVBoxLayout*>(layout())->addWidget(button);
    return button;
}

void TPinPadWindow::display(const QString& text) {
    lbDisplay->setText(text);
}

void TPinPadWindow::offerChoice(bool offer) {
    if (offer) fChoice = TPinPadChoice::None;
    for (QPushButton* button : {cmApprove, cmDecline, cmRemoveCard, cmNoTerminal})
        button->setEnabled(offer);
}
