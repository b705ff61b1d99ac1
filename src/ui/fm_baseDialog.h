#pragma once

#include <QColor>
#include <QDialog>
#include <QSize>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// Base of every kiosk dialog: a fixed-size, always-on-top, centred window with a header band in
// the branding colour and a scan buffer of its own, so a barcode scanned while the dialog is open
// reaches the dialog and not the main screen. The scanner types into ebScanBuffer and ends each
// code with Enter, which presses cmEndScan; derived dialogs connect cmEndScan's clicked() and
// read ebScanBuffer. Neither Enter nor Escape closes the dialog by itself.
//
// Derived dialogs place their controls on clientArea() (355 x 458, inside the 2-pixel border),
// below the 49-pixel header. In the large text mode the dialog shows 1.5 times that size.
class TfmBaseDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr QSize ClientSize{355, 458};
    static constexpr int BorderWidth = 2;
    static constexpr int HeaderHeight = 49;
    // The header colour when no branding colour is set.
    static const QColor StoredHeaderColour;

    explicit TfmBaseDialog(QWidget* parent = nullptr);

protected:
    // Takes the branding colour for the header, once, as the dialog is created.
    void FormCreate();
    void setHeaderCaption(const QString& caption);
    QWidget* clientArea() const { return fClient; }

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

    QLineEdit* ebScanBuffer = nullptr;
    QPushButton* cmEndScan = nullptr;
    QLabel* pnHeader = nullptr;

private:
    // The dialog is laid out at its design size; in the large text mode every control and the
    // dialog itself grow with the text, by the same scale.
    void scaleTo(double scale);

    QWidget* fClient = nullptr;
    double fScale = 1;
};
