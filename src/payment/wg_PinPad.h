#pragma once

#include <QWidget>

#include "payment/uPinPadSimulator.h"

class QLabel;
class QPushButton;

// The virtual PIN pad of the simulated terminal, for demonstrations: a small window beside the
// kiosk with the pad's screen and one button per outcome, where a person plays the customer
// and the acquirer. It lives for one transaction.
class TPinPadWindow : public QWidget, public TPinPadDevice {
    Q_OBJECT
public:
    explicit TPinPadWindow(QWidget* parent = nullptr);

    void display(const QString& text) override;
    void offerChoice(bool offer) override;
    TPinPadChoice choice() const override { return fChoice; }

    QLabel* lbDisplay = nullptr;
    QPushButton* cmApprove = nullptr;
    QPushButton* cmDecline = nullptr;
    QPushButton* cmRemoveCard = nullptr;
    QPushButton* cmNoTerminal = nullptr;

private:
    QPushButton* addButton(const QString& name, const QString& caption, const QColor& colour,
                           TPinPadChoice choice);

    TPinPadChoice fChoice = TPinPadChoice::None;
};
