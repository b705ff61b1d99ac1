#pragma once

#include <QObject>
#include <QPointer>

class QAbstractItemView;
class QWidget;

// Reads the screens aloud while speech is on, as a screen reader would read them through the
// widgets' accessible names: the key or list that takes the focus with its state, and every
// dialog and message box as it opens, its texts and then its buttons. A dialog marked as an
// error (the property "speechError") is spoken as one.
class TScreenSpeech : public QObject {
    Q_OBJECT
public:
    explicit TScreenSpeech(QObject* parent = nullptr);
    ~TScreenSpeech() override;

    // What a key or list is called, what it is and how it stands: "Find, button",
    // "Finish & Pay, button, unavailable".
    static QString describe(QWidget* widget);
    // What a dialog says: its texts in reading order, then "Buttons: Yes, No."
    static QString describeDialog(QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusChanged(QWidget* now);
    void followRows(QAbstractItemView* view);

    QPointer<QAbstractItemView> fFollowed;
};
