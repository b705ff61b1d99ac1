#include "sale/fm_Info.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/AdvDialogs.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

constexpr int Margin = 32;
constexpr QSize ButtonSize{129, 61};
constexpr int FooterGap = 16;

QPushButton* MakeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    MakeKeypadKey(button);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

// ---- TfmInfoBox --------------------------------------------------------------------------

TfmInfoBox::TfmInfoBox(QWidget* parent) : TfmBaseDialog(parent) {
    setObjectName(QStringLiteral("fmInfoBox"));
    QWidget* client = clientArea();
    const int width = ClientSize.width();
    const int footerTop = ClientSize.height() - FooterGap - ButtonSize.height();

    lbMessage = new QLabel(QStringLiteral("Please wait for Assistance"), client);
    lbMessage->setObjectName(QStringLiteral("lbMessage"));
    lbMessage->setTextFormat(Qt::PlainText);
    lbMessage->setAlignment(Qt::AlignCenter);
    lbMessage->setWordWrap(true);
    lbMessage->setFont(KioskFont(KioskFace::Tahoma, 21));
    lbMessage->setGeometry(Margin, HeaderHeight + 24, width - 2 * Margin, 200);

    ActivityIndicator1 = new TActivityIndicator(client);
    ActivityIndicator1->setObjectName(QStringLiteral("ActivityIndicator1"));
    ActivityIndicator1->setGeometry((width - 72) / 2, footerTop - 72, 72, 72);

    cmOk = MakeButton(QStringLiteral("cmOk"), QStringLiteral("OK"), client);
    cmNo = MakeButton(QStringLiteral("cmNo"), QStringLiteral("No"), client);
    cmOk->setGeometry(QRect(QPoint(FooterGap, footerTop), ButtonSize));
    cmNo->setGeometry(QRect(QPoint(width - FooterGap - ButtonSize.width(), footerTop), ButtonSize));
    MarkEscapeKey(cmNo);
    connect(cmOk, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(cmNo, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(cmEndScan, &QPushButton::clicked, this, &TfmInfoBox::cmEndScanClick);
}

void TfmInfoBox::setRestriction(TRestrictionType type, int value) {
    fRestType = type;
    fRestValue = value;
    ActivityIndicator1->setAnimate(type == rsAge);
}

void TfmInfoBox::setMessage(const QString& message) {
    QString text = message;
    lbMessage->setText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void TfmInfoBox::setButtons(bool ok, bool no) {
    cmOk->setVisible(ok);
    cmNo->setVisible(no);
    const int left = no ? FooterGap : (ClientSize.width() - ButtonSize.width()) / 2;
    cmOk->move(left, cmOk->y());
}

void TfmInfoBox::setOkCaption(const QString& caption) {
    cmOk->setText(caption);
}

// Only the age box listens to a scan: a member of staff confirms the customer's age there.
void TfmInfoBox::cmEndScanClick() {
    const QString code = ebScanBuffer->text();
    ebScanBuffer->clear();
    if (fRestType != rsAge) return;
    const TStaffAuthority staff = fStaffCheck ? fStaffCheck(code) : TStaffAuthority{};
    switch (staff.authority) {
        case oaInvalid:
            ShowInformation(QStringLiteral("Invalid Operator"));
            break;
        case oaInsufficient:
            ShowInformation(QStringLiteral("Insufficient Operator Access"));
            break;
        case oaUnderAge:
            ShowInformation(QStringLiteral("Staff under %1 cannot confirm a customer's age")
                                .arg(kMinimumStaffAge));
            break;
        case oaAuthorised:
            fAnsweringUser = staff.user;
            if (ShowQuestion(QStringLiteral("Is the customer over %1 ?").arg(fRestValue)) == mrYes)
                done(mrOk);
            else
                done(mrCancel);
            return;
    }
    ebScanBuffer->setFocus();
}

// The window manager's close is refused: the box ends through its buttons or a staff scan.
void TfmInfoBox::closeEvent(QCloseEvent* event) {
    event->ignore();
}

// ---- Unit routines -----------------------------------------------------------------------

void ShowControlledProduct(int limit, QWidget* parent) {
    TfmInfoBox box(parent);
    box.setRestriction(rsControlled, limit);
    box.setCaption(QStringLiteral("Controlled Product"));
    box.setProperty("speechError", true);
    box.setMessage(QStringLiteral("Only %1 product(s) allowed per sale\r\n\r\n"
                                  "Please put the product aside and continue with your scanning")
                       .arg(limit));
    box.setButtons(true, true);
    box.exec();
}

void ShowTimeRestricted(QWidget* parent) {
    TfmInfoBox box(parent);
    box.setRestriction(rsTime, 0);
    box.setCaption(QStringLiteral("Time Restricted Product"));
    box.setProperty("speechError", true);
    box.setMessage(
        QStringLiteral("This product cannot be sold at this time\r\n\r\n"
                       "Please put the product aside and continue with your scanning"));
    box.setButtons(true, true);
    box.exec();
}

void ShowStoppedItem(const QString& text, QWidget* parent) {
    TfmInfoBox box(parent);
    box.setCaption(QStringLiteral("Item Stopped"));
    box.setProperty("speechError", true);
    box.setMessage(text);
    box.setButtons(true, false);
    box.exec();
}

TAgeCheck ConfirmAge(int age, const TfmInfoBox::StaffCheck& staffCheck, QWidget* parent) {
    TfmInfoBox box(parent);
    box.setRestriction(rsAge, age);
    box.setStaffCheck(staffCheck);
    box.setCaption(QStringLiteral("Over %1's only").arg(age));
    box.setMessage(QStringLiteral("Please wait, help is coming"));
    box.setButtons(false, false);
    const int result = box.exec();
    // Only a staff answer ends the box with OK or Cancel; anything else closed it unanswered.
    if (result == mrOk) return {TAgeOutcome::Confirmed, box.answeringUser()};
    if (result == mrCancel && box.answeringUser() != 0)
        return {TAgeOutcome::Refused, box.answeringUser()};
    return {TAgeOutcome::Abandoned, 0};
}

TAgeCheck ConfirmAge(int age, fb::Query& q, const TEngineerCodes& codes, QWidget* parent) {
    return ConfirmAge(
        age, [&q, &codes](const QString& code) { return CheckAgeAuthority(q, codes, code); },
        parent);
}

void ShowAssistanceCalled(QWidget* parent) {
    TfmInfoBox box(parent);
    box.setCaption(QStringLiteral("Assistance"));
    box.setMessage(AssistanceCalledText);
    box.setButtons(true, false);
    box.exec();
}

bool AskYesNo(const QString& question, QWidget* parent) {
    TfmInfoBox box(parent);
    box.setMessage(question);
    box.setButtons(true, true);
    box.setOkCaption(QStringLiteral("Yes"));
    return box.exec() == mrOk;
}
