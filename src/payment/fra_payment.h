#pragma once

#include <QWidget>

// The method-of-payment page: a heading, the payment methods and Cancel Payment. It shows no
// amount (the pay button carries it) and reports what the customer touched.
class TfraPayment : public QWidget {
    Q_OBJECT
public:
    explicit TfraPayment(QWidget* parent = nullptr);

signals:
    // A method of payment was touched (both method buttons mean the card).
    void methodChosen();
    void cancelPayment();
};
