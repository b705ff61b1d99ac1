#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <ostream>

// Texts in failure messages, readable.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// What a customer, a member of staff or the scanner does to the kiosk's widgets, sent as the
// window system would send it.

// A key typed into target: a press and a release.
inline void SendKey(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

inline int KeyOf(QChar ch) {
    if (ch.isDigit()) return Qt::Key_0 + ch.digitValue();
    if (ch == u' ') return Qt::Key_Space;
    return ch.toUpper().unicode();  // letters share their upper-case key
}

// The characters of text, then Enter, as a keyboard-wedge scanner types a code.
inline void TypeCode(QWidget* target, const QString& text) {
    for (const QChar ch : text) SendKey(target, KeyOf(ch), QString(ch));
    SendKey(target, Qt::Key_Return, QStringLiteral("\r"));
}

// A finger lifted where it went down, in the middle of the widget.
inline void Touch(QWidget* target) {
    const QPointF local = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Acts on modal dialogs as they open, from inside their own event loops: each step is offered
// the dialog on top and is done once it returns true. A dialog that no step takes within the
// time limit is rejected and counted, so a failing test cannot hang.
class ModalScript {
public:
    using Step = std::function<bool(QDialog&)>;

    explicit ModalScript(int limitMs = 5000) : limitMs_(limitMs) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }

    // A step for the next dialog of type T.
    template <class T>
    void on(std::function<void(T&)> action) {
        steps_.push_back([action](QDialog& dialog) {
            auto* wanted = qobject_cast<T*>(&dialog);
            if (!wanted) return false;
            action(*wanted);
            return true;
        });
    }

    bool done() const { return steps_.empty(); }
    int rejected() const { return rejected_; }

private:
    void tick() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (dialog != current_) {
            current_ = dialog;
            waited_.start();
        }
        if (!busy_ && !steps_.empty()) {
            busy_ = true;
            working_ = dialog;
            const Step step = steps_.front();
            const bool taken = step(*dialog);
            busy_ = false;
            if (taken) {
                steps_.pop_front();
                return;
            }
        }
        // A step may open a dialog of its own that no step answers.
        if (dialog != working_ || !busy_) {
            if (waited_.elapsed() > limitMs_) {
                ++rejected_;
                dialog->reject();
            }
        }
    }

    QTimer timer_;
    std::deque<Step> steps_;
    QPointer<QDialog> current_;
    QPointer<QDialog> working_;
    QElapsedTimer waited_;
    int limitMs_;
    int rejected_ = 0;
    bool busy_ = false;
};
