#include "ui/wg_ScreenSpeech.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QShowEvent>
#include <algorithm>

#include "app/uSpeech.h"
#include "app/uText.h"
#include "ui/wg_ScanPoint.h"

namespace {

// A button's accessible name is its caption unless it was given another.
QString AccessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? PlainCaption(iface->text(QAccessible::Name)) : QString();
}

QString RoleWord(QWidget* widget) {
    if (qobject_cast<QAbstractItemView*>(widget)) return QStringLiteral("list");
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget)) {
        switch (iface->role()) {
            case QAccessible::PushButton:
                return QStringLiteral("button");
            case QAccessible::List:
            case QAccessible::Table:
                return QStringLiteral("list");
            default:
                break;
        }
    }
    return qobject_cast<QAbstractButton*>(widget) ? QStringLiteral("button") : QString();
}

// The row a list stands on, its cells read left to right.
QString CurrentRowText(const QAbstractItemView& view) {
    const QModelIndex current = view.currentIndex();
    if (!current.isValid() || !view.model()) return {};
    QStringList cells;
    for (int column = 0; column < view.model()->columnCount(current.parent()); ++column) {
        const QString cell =
            view.model()->index(current.row(), column, current.parent()).data().toString();
        if (!cell.trimmed().isEmpty()) cells << cell.trimmed();
    }
    return cells.join(u' ');
}

// Widgets of a window in reading order: top to bottom, then left to right.
template <class T>
QList<T*> InReadingOrder(QWidget* window) {
    QList<T*> found;
    for (T* widget : window->findChildren<T*>())
        if (widget->isVisibleTo(window) && !IsScanPoint(*widget)) found << widget;
    std::stable_sort(found.begin(), found.end(), [window](QWidget* a, QWidget* b) {
        const QPoint pa = a->mapTo(window, QPoint());
        const QPoint pb = b->mapTo(window, QPoint());
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return found;
}

bool IsSpeechError(const QWidget* widget) {
    return widget->property("speechError").toBool();
}

}  // namespace

TScreenSpeech::TScreenSpeech(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

TScreenSpeech::~TScreenSpeech() {
    qApp->removeEventFilter(this);
}

QString TScreenSpeech::describe(QWidget* widget) {
    QStringList words;
    if (const QString name = AccessibleName(widget); !name.isEmpty()) words << name;
    if (const QString role = RoleWord(widget); !role.isEmpty()) words << role;
    if (!widget->isEnabled()) words << QStringLiteral("unavailable");
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isChecked())
        words << QStringLiteral("selected");
    if (auto* view = qobject_cast<QAbstractItemView*>(widget))
        if (const QString row = CurrentRowText(*view); !row.isEmpty()) words << row;
    return words.join(QStringLiteral(", "));
}

QString TScreenSpeech::describeDialog(QWidget* dialog) {
    QStringList texts;
    for (QLabel* label : InReadingOrder<QLabel>(dialog))
        if (const QString text = PlainCaption(label->text()); !text.isEmpty()) texts << text;
    QStringList buttons;
    for (QAbstractButton* button : InReadingOrder<QAbstractButton>(dialog))
        if (const QString name = AccessibleName(button); !name.isEmpty()) buttons << name;
    QString spoken = texts.join(QStringLiteral(". "));
    if (!buttons.isEmpty())
        spoken += (spoken.isEmpty() ? QString() : QStringLiteral(". ")) +
                  QStringLiteral("Buttons: ") + buttons.join(QStringLiteral(", "));
    return spoken + u'.';
}

// A widget's own focus event, not the application's focusChanged: a window embedded in the
// scaled view is never the active window, and its focus changes reach no one else.
bool TScreenSpeech::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched->isWidgetType())
        focusChanged(static_cast<QWidget*>(watched));
    if (event->type() == QEvent::Show && TSpeaker::instance().enabled()) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isWindow() && !static_cast<QShowEvent*>(event)->spontaneous())
            TSpeaker::instance().say(describeDialog(dialog), IsSpeechError(dialog)
                                                                 ? TSpeechKind::Error
                                                                 : TSpeechKind::Prompt);
    }
    return QObject::eventFilter(watched, event);
}

// The hidden scan buffers hold the focus between keys; they are not announced.
void TScreenSpeech::focusChanged(QWidget* now) {
    if (!now || !TSpeaker::instance().enabled() || IsScanPoint(*now)) return;
    if (qobject_cast<QAbstractButton*>(now) == nullptr && RoleWord(now).isEmpty()) return;
    if (auto* view = qobject_cast<QAbstractItemView*>(now)) followRows(view);
    TSpeaker::instance().say(describe(now));
}

// Up and Down in a list read the row they reach.
void TScreenSpeech::followRows(QAbstractItemView* view) {
    if (fFollowed == view || !view->selectionModel()) return;
    if (fFollowed && fFollowed->selectionModel())
        disconnect(fFollowed->selectionModel(), nullptr, this, nullptr);
    fFollowed = view;
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (fFollowed && fFollowed->hasFocus())
            TSpeaker::instance().say(CurrentRowText(*fFollowed));
    });
}
