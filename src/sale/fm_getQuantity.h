#pragma once

#include "ui/fm_baseDialog.h"

class QLabel;
class QPushButton;
class TfraKeyboard;

// "How many do you have?": a quantity from the keypad, "+" and "-", or typed (or scanned) into
// the dialog's scan buffer, whose Enter confirms it as OK does. A quantity out of range or not
// a number keeps the dialog open and says so.
class TfmGetQuantity : public TfmBaseDialog {
    Q_OBJECT
public:
    static const QString Question;
    // Shown in place of the question when OK or Enter comes with a quantity that is refused.
    static const QString RefusedText;

    explicit TfmGetQuantity(QWidget* parent = nullptr);

    QLabel* lbQuestion = nullptr;
    QLabel* lbQty = nullptr;
    QPushButton* cmPlus = nullptr;
    QPushButton* cmMinus = nullptr;
    QPushButton* cmOK = nullptr;
    QPushButton* cmCancel = nullptr;
    TfraKeyboard* fraKeyboard1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void cmKeyboardClick(int tag, const QString& caption);
    void cmPlusClick();
    void cmMinusClick();
    void ebScanBufferChange(const QString& text);
    void cmOKClick();
    void showQuantity(const QString& text);
};

// Asks the quantity in the dialog; 0 unless it was closed with OK on a quantity from 1 to 999.
int GetQuantity(QWidget* parent = nullptr);
