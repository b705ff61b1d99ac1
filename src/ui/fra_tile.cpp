#include "ui/fra_tile.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <utility>

#include "ui/wg_AccessibleKeys.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

TClickPanel::TClickPanel(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    InstallKeyAccessibility();
}

void TClickPanel::setColour(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
}

QColor TClickPanel::colour() const {
    return palette().color(QPalette::Window);
}

void TClickPanel::mousePressEvent(QMouseEvent* event) {
    fPressed = event->button() == Qt::LeftButton;
    event->accept();
}

// A touch counts when the finger is lifted over the panel it went down on.
void TClickPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    const bool wasPressed = std::exchange(fPressed, false);
    event->accept();
    if (wasPressed && inside && event->button() == Qt::LeftButton) emit clicked();
}

TfraTile::TfraTile(const QString& name, const QString& caption, const QColor& colour,
                   const QColor& captionColour, QWidget* parent)
    : TClickPanel(parent) {
    setObjectName(name);
    setColour(colour);
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::PointingHandCursor);
    MakeKeypadKey(this);

    fCaption = new QLabel(caption, this);
    fCaption->setObjectName(name + QStringLiteral("Caption"));
    fCaption->setTextFormat(Qt::PlainText);
    fCaption->setAlignment(Qt::AlignCenter);
    fCaption->setWordWrap(true);
    // The stand-in face runs wider than the one the tiles were measured in; its condensed cut
    // keeps words such as "Transaction" on one line of a 100-pixel tile.
    QFont font = KioskFont(KioskFace::Tahoma, 16, true);
    font.setStretch(QFont::Condensed);
    fCaption->setFont(font);
    // The caption passes touches on to the tile.
    fCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = fCaption->palette();
    palette.setColor(QPalette::WindowText, captionColour);
    fCaption->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(fCaption);
}

QString TfraTile::caption() const {
    return fCaption->text();
}
