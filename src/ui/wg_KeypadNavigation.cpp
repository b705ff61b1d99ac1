#include "ui/wg_KeypadNavigation.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <algorithm>
#include <limits>

#include "app/uSpeech.h"
#include "ui/fra_tile.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_FocusRing.h"
#include "ui/wg_ScanPoint.h"

namespace {

const char* const EscapeProperty = "keypadEscape";
const char* const AssistanceProperty = "keypadAssistance";

bool Marked(const QWidget* widget, const char* property) {
    return widget && widget->property(property).toBool();
}

bool Usable(const QWidget* widget) {
    return widget->isVisible() && widget->isEnabled();
}

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

QRect RectIn(const QWidget* window, const QWidget* widget) {
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

void Activate(QWidget* key) {
    if (auto* button = qobject_cast<QAbstractButton*>(key))
        button->click();
    else if (auto* panel = qobject_cast<TClickPanel*>(key))
        panel->click();
    else if (auto* view = qobject_cast<QAbstractItemView*>(key);
             view && view->currentIndex().isValid())
        emit view->clicked(view->currentIndex());
}

// A key scrolled out of its scroll area comes into view with the focus.
void Reveal(QWidget* key) {
    for (QWidget* w = key->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w)) area->ensureWidgetVisible(key, 8, 8);
}

void Focus(QWidget* key, Qt::FocusReason reason) {
    if (!key) return;
    key->setFocus(reason);
    Reveal(key);
}

// Distance from one key to another in the arrow's direction, the offset across it weighing
// double; keys beside the row (or column) of the first come before any other.
long long Closeness(const QRect& from, const QRect& to, int arrow) {
    const QPoint d = to.center() - from.center();
    const bool horizontal = arrow == Qt::Key_Left || arrow == Qt::Key_Right;
    const int along = arrow == Qt::Key_Right  ? d.x()
                      : arrow == Qt::Key_Left ? -d.x()
                      : arrow == Qt::Key_Down ? d.y()
                                              : -d.y();
    if (along <= 0) return -1;
    const int across = std::abs(horizontal ? d.y() : d.x());
    const bool inLine = horizontal ? to.top() <= from.bottom() && to.bottom() >= from.top()
                                   : to.left() <= from.right() && to.right() >= from.left();
    return (inLine ? 0LL : 1LL << 32) + along + 2LL * across;
}

}  // namespace

// ---- Marks -------------------------------------------------------------------------------

void MarkEscapeKey(QWidget* key) {
    key->setProperty(EscapeProperty, true);
}

void MarkAssistanceKey(QWidget* key) {
    key->setProperty(AssistanceProperty, true);
}

void MakeKeypadKey(QWidget* key) {
    key->setFocusPolicy(Qt::TabFocus);
}

bool IsKeypadKey(const QWidget* widget) {
    if (!widget || IsScanBuffer(widget) || !(widget->focusPolicy() & Qt::TabFocus)) return false;
    return qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const TClickPanel*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget);
}

// Rows first: keys stand in one row when the middle of each lies within the height of the
// other (a tall list beside a row of keys is a row of its own).
QWidgetList KeypadKeys(const QWidget* window) {
    struct Placed {
        QWidget* key;
        QRect rect;
    };
    std::vector<Placed> keys;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (IsKeypadKey(w) && Usable(w) && w->window() == window)
            keys.push_back({w, RectIn(window, w)});
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Placed& a, const Placed& b) { return a.rect.top() < b.rect.top(); });
    QWidgetList ordered;
    for (size_t first = 0; first < keys.size();) {
        const QRect row = keys[first].rect;
        size_t end = first + 1;
        while (end < keys.size() && keys[end].rect.center().y() <= row.bottom() &&
               keys[end].rect.top() <= row.center().y())
            ++end;
        std::stable_sort(
            keys.begin() + first, keys.begin() + end,
            [](const Placed& a, const Placed& b) { return a.rect.left() < b.rect.left(); });
        for (size_t i = first; i < end; ++i) ordered << keys[i].key;
        first = end;
    }
    return ordered;
}

// ---- TKeypadNavigator --------------------------------------------------------------------

TKeypadNavigator::TKeypadNavigator(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &TKeypadNavigator::focusChanged);
    focusChanged(nullptr, QApplication::focusWidget());
}

TKeypadNavigator::~TKeypadNavigator() {
    qApp->removeEventFilter(this);
}

// The ring of window stands around its focus widget when that is a key, else it hides. A
// window under a modal dialog keeps its focus widget but shows no ring meanwhile.
void TKeypadNavigator::showRing(QWidget* window) {
    if (!window) return;
    QWidget* focus = window->focusWidget();
    const QWidget* modal = QApplication::activeModalWidget();
    if (IsKeypadKey(focus) && (!modal || modal == window))
        TFocusRing::of(window).follow(focus);
    else if (TFocusRing* ring = TFocusRing::find(window))
        ring->follow(nullptr);
}

void TKeypadNavigator::focusChanged(QWidget* old, QWidget* now) {
    if (old && (!now || old->window() != now->window()))
        if (TFocusRing* ring = TFocusRing::find(old->window())) ring->follow(nullptr);
    if (now) showRing(now->window());
}

bool TKeypadNavigator::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            touched(qobject_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
            break;
        case QEvent::WindowBlocked:
        case QEvent::WindowUnblocked:
            if (auto* window = qobject_cast<QWidget*>(watched); window && window->isWindow())
                showRing(window);
            break;
        // The application's focus signal misses focus moving inside a window shown through a
        // scaled view; the widgets themselves are told. A key that loses the focus to another
        // window (a dialog) stays its window's focus widget, but without its ring until the
        // focus comes back.
        case QEvent::FocusIn:
            if (auto* widget = qobject_cast<QWidget*>(watched)) showRing(widget->window());
            break;
        case QEvent::FocusOut:
            if (auto* widget = qobject_cast<QWidget*>(watched))
                if (TFocusRing* ring = TFocusRing::find(widget->window());
                    ring && ring->target() == widget)
                    ring->follow(nullptr);
            break;
        case QEvent::KeyPress: {
            auto* target = qobject_cast<QWidget*>(watched);
            // Each key once, where the window delivers it: to its focus widget, or to the
            // window itself while nothing has the focus. A scaled view hands its keys on to
            // the window it shows.
            if (!target || qobject_cast<QGraphicsView*>(target)) break;
            // An open list's popup keeps its own keys.
            if (target->window()->windowType() == Qt::Popup) break;
            QWidget* focus = target->window()->focusWidget();
            if (focus ? focus != target : !target->isWindow()) break;
            if (QWidget* modal = QApplication::activeModalWidget();
                modal && modal != target->window())
                break;
            // The window may be gone once its key has been handled (a dialog closed).
            const QPointer<QWidget> window = target->window();
            const bool handled = keyPress(target, static_cast<QKeyEvent*>(event));
            showRing(window);
            if (handled) return true;
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

// Once for each touch: a touch that its widget leaves goes on to the parents, past this
// filter again, at the same place on the screen.
void TKeypadNavigator::touched(QWidget* widget, const QMouseEvent* touch) {
    if (!widget) return;
    const QPointF at = touch->globalPosition();
    if (fTouched && widget->isAncestorOf(fTouched) && at == fTouchedAt) return;
    fTouched = widget;
    fTouchedAt = at;
    TSpeaker::instance().interrupt();
}

bool TKeypadNavigator::keyPress(QWidget* target, QKeyEvent* key) {
    const int code = key->key();
    if (code != Qt::Key_F4 && code != Qt::Key_F5) TSpeaker::instance().interrupt();
    if (functionKey(code)) return true;
    QWidget* window = target->window();
    if (code == Qt::Key_Tab || code == Qt::Key_Backtab) {
        moveInOrder(target, code == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    if (IsArrow(code)) {
        const bool rowKey = code == Qt::Key_Up || code == Qt::Key_Down;
        if (IsScanBuffer(target) ||
            !(TakesTypedText(*target) || (rowKey && qobject_cast<QAbstractItemView*>(target)))) {
            moveInDirection(target, code);
            return true;
        }
        return false;
    }
    if (code == Qt::Key_Escape) {
        escape(window);
        return true;
    }
    if (!IsKeypadKey(target)) return false;
    QLineEdit* buffer = ScanBufferOf(window);
    if (IsEnterKey(*key)) {
        if (!buffer || buffer->text().isEmpty()) {
            Activate(target);
            return true;
        }
    } else if (!buffer || !IsScanCharacter(*key)) {
        return false;
    }
    // A scan under way: the character goes to the buffer, the focus stays on the key.
    SendToScanBuffer(*buffer, *key);
    return true;
}

bool TKeypadNavigator::functionKey(int key) {
    switch (key) {
        case Qt::Key_F1:
            for (QWidget* window : QApplication::topLevelWidgets())
                for (auto* button : window->findChildren<QAbstractButton*>())
                    if (Marked(button, AssistanceProperty) && Usable(button)) {
                        button->click();
                        return true;
                    }
            return true;
        case Qt::Key_F2:
            TAccessModes::instance().toggleSpeech();
            return true;
        case Qt::Key_F3:
            TAccessModes::instance().toggleLargeText();
            return true;
        case Qt::Key_F4:
            TSpeaker::instance().repeat();
            return true;
        case Qt::Key_F5:
            TSpeaker::instance().togglePause();
            return true;
        default:
            return false;
    }
}

// From a control that is no key (the scan buffer) the first or the last key; the order wraps.
void TKeypadNavigator::moveInOrder(QWidget* from, bool forward) {
    const QWidgetList keys = KeypadKeys(from->window());
    if (keys.isEmpty()) return;
    const qsizetype at = keys.indexOf(from);
    const qsizetype count = keys.size();
    const qsizetype next =
        at < 0 ? (forward ? 0 : count - 1) : (at + (forward ? 1 : count - 1)) % count;
    Focus(keys[next], forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

// From a control that is no key, the first key in reading order that is no list: a list
// keeps Up and Down for its rows, so an arrow would go no further.
void TKeypadNavigator::moveInDirection(QWidget* from, int arrow) {
    QWidget* window = from->window();
    const QWidgetList keys = KeypadKeys(window);
    if (!keys.contains(from)) {
        const auto first = std::find_if(keys.begin(), keys.end(), [](const QWidget* key) {
            return !qobject_cast<const QAbstractItemView*>(key);
        });
        Focus(first == keys.end() ? keys.value(0) : *first, Qt::TabFocusReason);
        return;
    }
    const QRect origin = RectIn(window, from);
    QWidget* best = nullptr;
    long long bestScore = std::numeric_limits<long long>::max();
    for (QWidget* key : keys) {
        const long long score = Closeness(origin, RectIn(window, key), arrow);
        if (key != from && score >= 0 && score < bestScore) {
            best = key;
            bestScore = score;
        }
    }
    Focus(best, Qt::TabFocusReason);
}

// The window's escape key if one is usable; a dialog that marks none is rejected, one whose
// escape key is hidden or disabled (a box only staff may close) stays.
void TKeypadNavigator::escape(QWidget* window) {
    bool marked = false;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!Marked(w, EscapeProperty) || w->window() != window) continue;
        marked = true;
        if (Usable(w)) return Activate(w);
    }
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && !marked) dialog->reject();
}
