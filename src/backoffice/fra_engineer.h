#pragma once

#include <QWidget>

#include "backoffice/uEngineer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimeEdit;
class Tdm;
class TClickPanel;
class TfraTile;

// The engineer page: four group boxes in a scrolling area ("General", "Internals",
// " Branding ", "Codes") over a bottom bar with "Close Screen". It shows the settings it is given
// and hands back what the engineer made of them; the main screen loads and saves them.
class TfraEngineer : public QWidget {
    Q_OBJECT
public:
    explicit TfraEngineer(QWidget* parent = nullptr);

    // Replaces the list of "Printer Name" by the printers installed on this machine.
    void LoadPrinterNames();
    void setSettings(const TEngineerSettings& settings);
    TEngineerSettings settings() const;
    // Shows the settings as stored.
    void load(Tdm& dm);
    // Stores what the engineer made of the settings. A number the settings cannot take is
    // reported with nothing saved (false); the page keeps the edits, to be corrected.
    bool save(Tdm& dm);

    // A warning over the settings (payments in doubt for too long); hidden when empty.
    void showNotice(const QString& notice);

    // Lets the engineer pick the branding colour; a confirmed colour becomes the swatch's tag.
    // Nothing is stored until the page is closed.
    void pickBrandingColour();
    int brandingColourTag() const { return fBrandingColourTag; }

signals:
    void closeScreenClicked();
    void brandingColourClicked();

private:
    QWidget* buildGeneral();
    QWidget* buildInternals();
    QWidget* buildBranding();
    QWidget* buildCodes();
    QWidget* buildBottomBar();
    void paintSwatch();

    QLabel* lbNotice = nullptr;
    QRadioButton* rb_Euro = nullptr;
    QRadioButton* rb_STG = nullptr;
    QCheckBox* DBCheckBox1 = nullptr;
    QLineEdit* DBEdit1 = nullptr;
    QTimeEdit* rDBDateTimePicker1 = nullptr;
    QLineEdit* DBEdit2 = nullptr;
    QLineEdit* DBEdit3 = nullptr;
    QComboBox* cbo_PrinterSpec = nullptr;
    QComboBox* edt_PrinterName = nullptr;
    QComboBox* cbo_IntDisplayPort = nullptr;
    QLineEdit* edt_IntDisplayChars = nullptr;
    QComboBox* cbo_IntDisplpayType = nullptr;
    QLineEdit* edt_Gs1Separator = nullptr;
    QCheckBox* chk_StopBestBefore = nullptr;
    TClickPanel* pnBrandingColour = nullptr;
    TfraTile* cmCloseEngineerScreen = nullptr;
    int fBrandingColourTag = 0;
};
