#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidgetList>

class QKeyEvent;
class QLineEdit;
class QMouseEvent;
class QWidget;

// What the keypad navigator knows of a window's widgets, said by the widgets themselves.

// The key that Escape presses: a page's back or close key, a dialog's No or Cancel.
void MarkEscapeKey(QWidget* key);
// The key that F1 presses wherever the customer is.
void MarkAssistanceKey(QWidget* key);

// A key takes the focus from the keyboard only, so a touch leaves the scan buffer its focus.
void MakeKeypadKey(QWidget* key);
// Buttons, click-panel keys and item views that take the focus from the keyboard.
bool IsKeypadKey(const QWidget* widget);
// The visible, enabled keys of window, in reading order: top to bottom, then left to right.
QWidgetList KeypadKeys(const QWidget* window);

// The keyboard of the kiosk, in every window of the application: Tab and Shift+Tab move the
// focus through a window's keys in reading order, the arrows to the nearest key in their
// direction (a list keeps Up and Down for its rows), Enter activates the focused key, Escape
// presses the window's escape key (a dialog without one is rejected), F1 calls for assistance,
// F2 and F3 switch speech and large text, F4 repeats the last spoken text and F5 pauses it.
//
// While a key holds the focus, the scanner's characters go to the window's scan buffer
// without moving the focus; Enter ends the scan when the buffer holds text. Any key or touch
// of the customer, F4 and F5 aside, first stops the speech. The focused key carries a ring.
//
// One navigator serves the application; it installs itself as an application event filter
// for as long as it lives.
class TKeypadNavigator : public QObject {
    Q_OBJECT
public:
    explicit TKeypadNavigator(QObject* parent = nullptr);
    ~TKeypadNavigator() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void touched(QWidget* widget, const QMouseEvent* touch);
    bool keyPress(QWidget* target, QKeyEvent* key);
    bool functionKey(int key);
    void moveInOrder(QWidget* from, bool forward);
    void moveInDirection(QWidget* from, int arrow);
    void escape(QWidget* window);
    void showRing(QWidget* window);
    void focusChanged(QWidget* old, QWidget* now);

    QPointer<QWidget> fTouched;  // where the last touch began, and where on the screen
    QPointF fTouchedAt;
};
