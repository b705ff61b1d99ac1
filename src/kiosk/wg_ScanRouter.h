#pragma once

#include <QObject>
#include <functional>

class QLineEdit;
class QPushButton;
class QWidget;

// The scan point of the main window: a hidden scan buffer that keeps the keyboard, so the
// scanner's keystrokes and a code typed and ended with Enter both end in endScan(). A key aimed
// at no text control of the window goes to the buffer; while a dialog stands over the window,
// its keys are dropped. The code ends where it belongs: the engineer's page, the manager's page
// or the sale.
class TScanRouter : public QObject {
    Q_OBJECT
public:
    // What a scanned code is: -2 the engineer's code, 0 no member of staff, else a member of
    // staff's user number.
    using UserOfCode = std::function<int(const QString& code)>;

    // Builds the buffer and its Enter button on host, behind everything else of window.
    TScanRouter(QWidget* window, QWidget* host, UserOfCode userOfCode);
    ~TScanRouter() override;

    // The buffer takes the keyboard.
    void focus();
    // Empties the buffer, back behind everything, with the keyboard.
    void reset();
    // Enter in the buffer: the code goes where it belongs, and the buffer is empty and has the
    // keyboard again afterwards, whatever the code did.
    void endScan();

signals:
    void engineerScanned();
    void managerScanned();
    void productScanned(const QString& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool forwardToScanBuffer(QWidget* target, QEvent* event);

    QWidget* fWindow;
    UserOfCode fUserOfCode;
    QLineEdit* ebScanBuffer = nullptr;
    QPushButton* cmEndScan = nullptr;
};
