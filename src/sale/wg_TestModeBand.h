#pragma once

#include <QLabel>

// The band across the top of the main window while the kiosk is in test mode: it must be seen
// from the shop floor that sales are not being paid for. Hidden until shown.
class TTestModeBand : public QLabel {
    Q_OBJECT
public:
    explicit TTestModeBand(QWidget* parent = nullptr);
};
