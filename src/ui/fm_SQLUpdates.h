#pragma once

#include "ui/fm_baseDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;
class Tdm;

// Offers the pending schema updates at start-up. "Proceed" applies them (after making sure no
// other process uses the kiosk database); "Close" stops the kiosk, "Continue" lets it start.
class TfmSQLUpdates : public TfmBaseDialog {
    Q_OBJECT
public:
    explicit TfmSQLUpdates(Tdm& dm, QWidget* parent = nullptr);

    void SetVersion(int current, int latest, int count);
    void cmProceedClick();
    void cmCancelClick();

    int fUpdateCount = 0;
    int fCurrentVer = 0;
    int fLatestVer = 0;

    QLabel* LMDLabel1 = nullptr;
    QLabel* lbStatus = nullptr;
    QProgressBar* pbProgress = nullptr;
    QWidget* pnl_footer = nullptr;
    QPushButton* cmProceed = nullptr;
    QPushButton* cmCancel = nullptr;

private:
    void FormCreate();
    void repaintNow();

    Tdm& fDm;
};
