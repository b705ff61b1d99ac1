#pragma once

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QCloseEvent;
class QEvent;
class QKeyEvent;

// Icon kinds of the kiosk message box; the numbers are those of the Windows message box flags.
enum MessageIconKind : int {
    miNone = 0,
    miError = 16,
    miQuestion = 32,
    miWarning = 48,
    miInformation = 64,
};

// Modal results the message box entry points hand back.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
// The button of caption i closes the box with FirstButtonResult + i.
inline constexpr int FirstButtonResult = 100;

// Where everything of one message box goes, in pixels.
struct MessageFormLayout {
    QString text;                // the message as shown
    QRect label;                 // MsgLabel, in pnMain
    bool wrapped = false;        // the label wraps its text to its width
    QRect icon;                  // image, in pnMain; null without an icon
    int buttonWidth = 0;         // every button of the box has this width
    std::vector<QRect> buttons;  // in pnButtons, one per caption in the order given
    int buttonBarHeight = 0;     // pnButtons
    QSize client;                // the box
};

// Sizes a box to its message: the label wraps only when wider than half the screen plus 100,
// buttons stand right-aligned in caption order, and the box is at least 220 x 140.
MessageFormLayout ComputeMessageFormLayout(const QString& message, const QStringList& captions,
                                           bool withIcon, int buttonHeight, const QFont& font,
                                           int screenWidth);

// The kiosk's own message box: a borderless dark panel with white text, an optional system
// icon and large buttons. Only its buttons close it unless the caller allows Escape or Alt+F4.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& message, const QStringList& captions, int iconKind,
                 const QString& title, int buttonHeight, bool systemMenu, bool escapeAllowed,
                 bool altF4Allowed);

    const MessageFormLayout& layout() const { return fLayout; }

    // Lets tests answer boxes: while answers are queued, each box is built as usual and then
    // returns the next answer (a modal result such as FirstButtonResult + i) without being shown.
    static void setNextAnswer(int modalResult);
    static void clearAnswers();
    static bool hasNextAnswer();
    static int takeNextAnswer();

    // Called with every box once it is built, before it is shown or answered.
    using Observer = std::function<void(TMessageForm&)>;
    static void setObserver(Observer observer);
    static const Observer& observer();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanels();
    void buildIcon(int iconKind);
    void buildLabel();
    void buildButtons(const QStringList& captions);
    void pnMouseDown(const QPoint& globalPos);

    MessageFormLayout fLayout;
    bool fEscapeAllowed;
    bool fAltF4Allowed;
    bool fDragging = false;
    QPoint fDragOffset;
    QWidget* pnBack = nullptr;
    QWidget* pnMain = nullptr;
    QWidget* pnButtons = nullptr;
};

// Builds, shows and frees one box; returns its modal result.
int ShowMessageForm(const QString& message, const QStringList& captions, int iconKind,
                    const QString& title, int buttonHeight, bool systemMenu = false,
                    bool escapeAllowed = false, bool altF4Allowed = false);

// "&Yes"/"&No" question: mrYes or mrNo.
int ShowQuestion(const QString& message, const QString& title = {});
// A question with a button per caption: the index of the caption chosen, -1 when the box ended
// otherwise.
int ShowChoice(const QString& message, const QStringList& captions);
// Information with one "&Ok" button: always mrOk.
int ShowInformation(const QString& message, const QString& title = {});
// Error with one "&Ok" button: mrOk.
int ShowError(const QString& message, const QString& title = {});
