#include "ui/AdvDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

#include "app/uText.h"
#include "ui/wg_BusyScope.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_LargeText.h"
#include "ui/wg_Window.h"

namespace {

constexpr int IconSize = 32;
constexpr int MinClientWidth = 220;
constexpr int MinClientHeight = 140;
constexpr int ButtonBarHeight = 64;
constexpr int ButtonTop = 10;
constexpr int ButtonGap = 7;
constexpr int MinButtonWidth = 100;
constexpr int KioskButtonHeight = 40;
const QColor PanelColour(66, 69, 66);

std::deque<int>& QueuedAnswers() {
    static std::deque<int> answers;
    return answers;
}

TMessageForm::Observer& ObserverSlot() {
    static TMessageForm::Observer observer;
    return observer;
}

// A message that ends in a line break would show an empty last line.
QString MessageText(QString message) {
    if (message.endsWith(QLatin1String("\r\n"))) message.chop(2);
    message.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    message.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return message;
}

// The label's size: its text on as many lines as it has, wrapped only past the width limit.
QSize LabelSize(const QString& text, const QFontMetrics& metrics, int screenWidth, bool& wrapped) {
    constexpr int flags = Qt::AlignLeft | Qt::AlignTop;
    const QRect unlimited(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QSize natural = metrics.boundingRect(unlimited, flags, text).size();
    const int limit = screenWidth / 2 + 100;
    wrapped = natural.width() > limit;
    if (!wrapped) return natural;
    const QRect column(0, 0, limit - 32, QWIDGETSIZE_MAX);
    return {column.width(), metrics.boundingRect(column, flags | Qt::TextWordWrap, text).height()};
}

std::optional<QStyle::StandardPixmap> StandardIconOf(int iconKind) {
    switch (iconKind) {
        case miError:
            return QStyle::SP_MessageBoxCritical;
        case miQuestion:
            return QStyle::SP_MessageBoxQuestion;
        case miWarning:
            return QStyle::SP_MessageBoxWarning;
        case miInformation:
            return QStyle::SP_MessageBoxInformation;
        default:
            return std::nullopt;
    }
}

QWidget* MakePanel(QWidget* parent, const QString& name, const QColor& colour, const QRect& rect) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    panel->setGeometry(rect);
    return panel;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

int ScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

}  // namespace

MessageFormLayout ComputeMessageFormLayout(const QString& message, const QStringList& captions,
                                           bool withIcon, int buttonHeight, const QFont& font,
                                           int screenWidth) {
    MessageFormLayout layout;
    layout.text = MessageText(message);
    const QFontMetrics metrics(font);
    const QSize labelSize = LabelSize(layout.text, metrics, screenWidth, layout.wrapped);
    const int h = labelSize.height();
    const QSize iconSize = withIcon ? QSize(IconSize, IconSize) : QSize(0, 0);

    int labelTop = 18;
    int iconTop = labelTop;
    if (h < 33) {
        labelTop = 34 - h / 2;
        // A single line sits on the icon's middle; a taller label starts level with it.
        iconTop = 2 * metrics.height() > h ? 34 - iconSize.height() / 2 : labelTop;
    }
    const int labelLeft = withIcon ? iconSize.width() + 31 : 16;
    layout.label = QRect(QPoint(labelLeft, labelTop), labelSize);
    if (withIcon) layout.icon = QRect(QPoint(16, iconTop), iconSize);

    int w = MinButtonWidth;
    for (const QString& caption : captions) w = std::max(w, metrics.horizontalAdvance(caption) + 8);
    layout.buttonWidth = w;

    const int count = static_cast<int>(captions.size());
    const int contentWidth =
        withIcon ? iconSize.width() + labelSize.width() + 55 : labelSize.width() + 40;
    const int rowWidth = count * (w + ButtonGap) + 31;
    layout.client = QSize(std::max({MinClientWidth, contentWidth, rowWidth}),
                          std::max(MinClientHeight, h + buttonHeight + 67));
    // The bar grows for buttons taller than it was drawn for, so none is cut off.
    layout.buttonBarHeight = std::max(ButtonBarHeight, buttonHeight + 2 * ButtonTop + 4);

    // pnButtons sits inside two 1-pixel margins on either side.
    const int barWidth = layout.client.width() - 4;
    layout.buttons.resize(captions.size());
    for (int k = 0; k < count; ++k) {
        const int left = barWidth - 16 - w - (w + ButtonGap) * k;
        layout.buttons[count - 1 - k] = QRect(left, ButtonTop, w, buttonHeight);
    }
    return layout;
}

TMessageForm::TMessageForm(const QString& message, const QStringList& captions, int iconKind,
                           const QString& title, int buttonHeight, bool systemMenu,
                           bool escapeAllowed, bool altF4Allowed)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           (systemMenu ? Qt::WindowSystemMenuHint : Qt::WindowFlags())),
      fEscapeAllowed(escapeAllowed),
      fAltF4Allowed(altF4Allowed) {
    setObjectName(QStringLiteral("MessageForm"));
    setWindowTitle(title.isEmpty() ? QGuiApplication::applicationDisplayName() : title);
    setFont(KioskFont(KioskFace::SegoeUI, 13));
    // The box fixes every button's size itself, so a style's padding must not squeeze captions.
    setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ButtonFaceColour());
    setPalette(palette);
    setAutoFillBackground(true);

    // In the large text mode the box is laid out for the enlarged font it will show.
    fLayout = ComputeMessageFormLayout(message, captions, iconKind != miNone, buttonHeight,
                                       TLargeText::shown(font()), ScreenWidth());
    setFixedSize(fLayout.client);
    buildPanels();
    buildIcon(iconKind);
    setProperty("speechError", iconKind == miError);
    buildLabel();
    buildButtons(captions);
    CentreOnScreen(*this);
}

void TMessageForm::buildPanels() {
    const QSize client = fLayout.client;
    pnBack = MakePanel(this, QStringLiteral("pnBack"), Qt::white,
                       QRect(1, 1, client.width() - 2, client.height() - 2));
    const int barHeight = fLayout.buttonBarHeight;
    const int innerWidth = pnBack->width() - 2;
    pnButtons = MakePanel(pnBack, QStringLiteral("pnButtons"), PanelColour,
                          QRect(1, pnBack->height() - 1 - barHeight, innerWidth, barHeight));
    pnMain = MakePanel(pnBack, QStringLiteral("pnMain"), PanelColour,
                       QRect(1, 1, innerWidth, pnButtons->y() - 2));
    pnMain->installEventFilter(this);
    pnButtons->installEventFilter(this);
}

void TMessageForm::buildIcon(int iconKind) {
    auto* image = new QLabel(pnMain);
    image->setObjectName(QStringLiteral("image"));
    image->setGeometry(fLayout.icon.isNull() ? QRect(12, 12, IconSize, IconSize) : fLayout.icon);
    image->setVisible(!fLayout.icon.isNull());
    if (const auto icon = StandardIconOf(iconKind))
        image->setPixmap(style()->standardIcon(*icon, nullptr, this).pixmap(IconSize, IconSize));
}

void TMessageForm::buildLabel() {
    auto* label = new QLabel(pnMain);
    label->setObjectName(QStringLiteral("MsgLabel"));
    label->setTextFormat(Qt::PlainText);  // "&" and "<" show as themselves
    label->setText(fLayout.text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(fLayout.wrapped);
    label->setFont(font());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setGeometry(fLayout.label);
    label->installEventFilter(this);
}

void TMessageForm::buildButtons(const QStringList& captions) {
    const int count = static_cast<int>(captions.size());
    std::vector<QPushButton*> buttons(captions.size());
    // Created right to left, as the box was always laid out; the tab order is set afterwards.
    for (int k = 0; k < count; ++k) {
        const int i = count - 1 - k;
        auto* button = new QPushButton(captions[i], pnButtons);
        button->setObjectName(QStringLiteral("Button%1").arg(i));
        button->setGeometry(fLayout.buttons[i]);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(true);
        MakeKeypadKey(button);
        // Escape answers as the box's No or Cancel would, or as its only button.
        const QString plain = PlainCaption(captions[i]);
        if (count == 1 || plain == QLatin1String("No") || plain == QLatin1String("Cancel"))
            MarkEscapeKey(button);
        connect(button, &QPushButton::clicked, this, [this, i] { done(FirstButtonResult + i); });
        buttons[i] = button;
    }
    for (int i = 1; i < count; ++i) setTabOrder(buttons[i - 1], buttons[i]);
    if (count > 0) buttons.front()->setFocus();
}

void TMessageForm::setNextAnswer(int modalResult) {
    QueuedAnswers().push_back(modalResult);
}

void TMessageForm::clearAnswers() {
    QueuedAnswers().clear();
}

bool TMessageForm::hasNextAnswer() {
    return !QueuedAnswers().empty();
}

int TMessageForm::takeNextAnswer() {
    const int answer = QueuedAnswers().front();
    QueuedAnswers().pop_front();
    return answer;
}

void TMessageForm::setObserver(Observer observer) {
    ObserverSlot() = std::move(observer);
}

const TMessageForm::Observer& TMessageForm::observer() {
    return ObserverSlot();
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (fEscapeAllowed) done(mrCancel);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
        if (fAltF4Allowed) done(mrCancel);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// A close from outside the box (the window manager's Alt+F4) is refused unless allowed; the
// buttons end the box through done(), which does not come here.
void TMessageForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (fAltF4Allowed) done(mrCancel);
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) break;
            pnMouseDown(mouse->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseMove:
            if (!fDragging) break;
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - fDragOffset);
            return true;
        case QEvent::MouseButtonRelease:
            if (!fDragging) break;
            fDragging = false;
            return true;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

// Lets the operator drag the borderless box by its panels or text. The window system moves it
// where it can; elsewhere the box follows the mouse itself.
void TMessageForm::pnMouseDown(const QPoint& globalPos) {
    if (QWindow* window = windowHandle(); window && isVisible() && window->startSystemMove())
        return;
    fDragging = true;
    fDragOffset = globalPos - pos();
}

int ShowMessageForm(const QString& message, const QStringList& captions, int iconKind,
                    const QString& title, int buttonHeight, bool systemMenu, bool escapeAllowed,
                    bool altF4Allowed) {
    TBusyScope::keepAlive();
    std::unique_ptr<TMessageForm> box;
    {
        WaitCursor wait;
        QApplication::beep();
        box = std::make_unique<TMessageForm>(message, captions, iconKind, title, buttonHeight,
                                             systemMenu, escapeAllowed, altF4Allowed);
    }
    if (const auto& observer = TMessageForm::observer()) observer(*box);
    int result = 0;
    if (TMessageForm::hasNextAnswer()) {
        result = TMessageForm::takeNextAnswer();
    } else {
        box->raise();
        result = box->exec();
    }
    box.reset();
    TBusyScope::keepAlive();
    return result;
}

int ShowChoice(const QString& message, const QStringList& captions) {
    const int index =
        ShowMessageForm(message, captions, miQuestion, {}, KioskButtonHeight) - FirstButtonResult;
    return index >= 0 && index < captions.size() ? index : -1;
}

int ShowQuestion(const QString& message, const QString& title) {
    const int result = ShowMessageForm(message, {QStringLiteral("&Yes"), QStringLiteral("&No")},
                                       miQuestion, title, KioskButtonHeight);
    // Only the Yes button answers yes; whatever else ends the box must not act as consent.
    return result == FirstButtonResult ? mrYes : mrNo;
}

int ShowInformation(const QString& message, const QString& title) {
    ShowMessageForm(message, {QStringLiteral("&Ok")}, miInformation, title, KioskButtonHeight);
    return mrOk;
}

int ShowError(const QString& message, const QString& title) {
    const int result =
        ShowMessageForm(message, {QStringLiteral("&Ok")}, miError, title, KioskButtonHeight);
    return result == FirstButtonResult ? mrOk : result;
}
