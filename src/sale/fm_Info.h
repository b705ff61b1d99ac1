#pragma once

#include <QWidget>
#include <functional>

#include "app/uOperators.h"
#include "db/fbQuery.h"
#include "sale/uAgeChecks.h"
#include "sale/uRestrictions.h"
#include "ui/fm_baseDialog.h"
#include "ui/wg_ActivityIndicator.h"

class QLabel;
class QPushButton;

// The information box of the sale: a refused product, the age check and yes/no questions.
// Only its buttons close it, and in the age box only a staff scan does.
class TfmInfoBox : public TfmBaseDialog {
    Q_OBJECT
public:
    // How a staff code scanned in the age box stands.
    using StaffCheck = std::function<TStaffAuthority(const QString& code)>;

    explicit TfmInfoBox(QWidget* parent = nullptr);

    void setRestriction(TRestrictionType type, int value);
    void setStaffCheck(StaffCheck check) { fStaffCheck = std::move(check); }
    void setCaption(const QString& header) { setHeaderCaption(header); }
    void setMessage(const QString& message);
    // Hides or shows the two buttons; a lone OK stands in the middle of the footer.
    void setButtons(bool ok, bool no);
    void setOkCaption(const QString& caption);

    // Enter in the box's scan buffer.
    void cmEndScanClick();
    // The staff card that answered the age question; 0 while none has.
    int answeringUser() const { return fAnsweringUser; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TRestrictionType fRestType = rsNone;
    int fRestValue = 0;
    StaffCheck fStaffCheck;
    int fAnsweringUser = 0;

    QLabel* lbMessage = nullptr;
    QPushButton* cmOk = nullptr;
    QPushButton* cmNo = nullptr;
    TActivityIndicator* ActivityIndicator1 = nullptr;
};

// "Controlled Product": the product is over its limit per sale; either button closes the box.
void ShowControlledProduct(int limit, QWidget* parent = nullptr);
// "Time Restricted Product": the product may not be sold now.
void ShowTimeRestricted(QWidget* parent = nullptr);
// "Item Stopped": a product past its date or recalled, with the text that says which.
void ShowStoppedItem(const QString& text, QWidget* parent = nullptr);
// Waits for a member of staff to scan their code and answer whether the customer is over the
// age: confirmed or refused by that staff member, or abandoned when the box was closed without
// an answer (the kiosk stopping). staffCheck tells what a scanned code may do.
TAgeCheck ConfirmAge(int age, const TfmInfoBox::StaffCheck& staffCheck, QWidget* parent = nullptr);
// The same, with staff codes looked up on q and the engineer codes the kiosk accepts.
TAgeCheck ConfirmAge(int age, fb::Query& q, const TEngineerCodes& codes = TEngineerCodes(),
                     QWidget* parent = nullptr);
// "Help is on its way": a customer has called for help; OK closes the box.
inline const QString AssistanceCalledText = QStringLiteral("Help is on its way");
void ShowAssistanceCalled(QWidget* parent = nullptr);
// A question answered with "Yes" or "No"; true on "Yes".
bool AskYesNo(const QString& question, QWidget* parent = nullptr);
