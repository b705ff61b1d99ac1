#include "sale/fm_Info.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "db/fbQuery.h"
#include "kiosk/KioskInput.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"
#include "ui/AdvDialogs.h"

namespace {

constexpr int Yes = FirstButtonResult;
constexpr int No = FirstButtonResult + 1;

// What one box showed: header, message and which buttons, as "OK|No".
struct Seen {
    QString header;
    QString message;
    QString buttons;
};

Seen Look(TfmInfoBox& box) {
    QStringList buttons;
    for (const char* name : {"cmOk", "cmNo"}) {
        const auto* button = box.findChild<QPushButton*>(name);
        if (!button->isHidden()) buttons << button->text();
    }
    return {box.findChild<QLabel*>("pnHeader")->text(), box.findChild<QLabel*>("lbMessage")->text(),
            buttons.join(u'|')};
}

QLineEdit* Buffer(TfmInfoBox& box) {
    return box.findChild<QLineEdit*>("ebScanBuffer");
}

class InfoBoxTest : public ::testing::Test {
protected:
    InfoBoxTest() {
        TMessageForm::clearAnswers();
        TMessageForm::setObserver([this](TMessageForm& box) { messages << box.layout().text; });
    }
    ~InfoBoxTest() override {
        TMessageForm::setObserver({});
        TMessageForm::clearAnswers();
    }
    QStringList messages;
    ModalScript script;
};

// The refusal boxes ignore scans (the product is never added) and close by either button.
TEST_F(InfoBoxTest, RefusalBoxesExplainAndCloseOnlyByAButton) {
    struct Case {
        std::function<void()> show;
        const char* button;
        Seen expected;
    };
    const Case cases[] = {
        {[] { ShowControlledProduct(2); },
         "cmOk",
         {"Controlled Product",
          "Only 2 product(s) allowed per sale\n\nPlease put the product aside and continue "
          "with your scanning",
          "OK|No"}},
        {[] { ShowTimeRestricted(); },
         "cmNo",
         {"Time Restricted Product",
          "This product cannot be sold at this time\n\nPlease put the product aside and "
          "continue with your scanning",
          "OK|No"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.header.toStdString());
        Seen seen;
        bool openAfterScan = false;
        script.on<TfmInfoBox>([&](TfmInfoBox& box) {
            seen = Look(box);
            TypeCode(Buffer(box), "4b17e2c9a05d");
            box.close();  // the window manager's close is refused too
            openAfterScan = box.isVisible() && Buffer(box)->text().isEmpty();
            Touch(box.findChild<QPushButton*>(c.button));
        });
        c.show();
        EXPECT_TRUE(script.done());
        EXPECT_EQ(script.rejected(), 0);
        EXPECT_EQ(seen.header, c.expected.header);
        EXPECT_EQ(seen.message, c.expected.message);
        EXPECT_EQ(seen.buttons, c.expected.buttons);
        EXPECT_TRUE(openAfterScan);
        EXPECT_TRUE(messages.isEmpty());
    }
}

TEST_F(InfoBoxTest, AskYesNoIsTrueOnlyOnYes) {
    for (const char* button : {"cmOk", "cmNo"}) {
        SCOPED_TRACE(button);
        Seen seen;
        script.on<TfmInfoBox>([&](TfmInfoBox& box) {
            seen = Look(box);
            TypeCode(Buffer(box), "123");  // a scan here only empties the buffer
            Touch(box.findChild<QPushButton*>(button));
        });
        const bool answer = AskYesNo("Would you like a receipt?");
        EXPECT_EQ(answer, QString(button) == "cmOk");
        EXPECT_EQ(seen.message, "Would you like a receipt?");
        EXPECT_EQ(seen.buttons, "Yes|No");
    }
}

// Staff from the kiosk database: Ann may confirm ages, Bob may not; Dee has the right but turns
// 18 only tomorrow, Eve turned 18 today.
class AgeBoxTest : public InfoBoxTest {
protected:
    AgeBoxTest() {
        exec("insert into TBL_USERS (USER_ID, POS_PASS, ACCESS) values (3, '888000011', 'NY')");
        exec("insert into TBL_USERS (USER_ID, POS_PASS, ACCESS) values (4, '888000022', 'YN')");
        exec(
            "insert into TBL_USERS (USER_ID, POS_PASS, ACCESS, DOB)"
            " values (5, '888000055', 'YY', '2006-03-05')");
        exec(
            "insert into TBL_USERS (USER_ID, POS_PASS, ACCESS, DOB)"
            " values (6, '888000066', 'YY', '2006-03-04')");
    }
    void exec(const char* sql) {
        q.setSQL(QString::fromLatin1(sql));
        q.execSQL();
    }
    FixedClockGuard clock{QDateTime(QDate(2024, 3, 4), QTime(9, 0))};
    TestDatabases db;
    fb::Query q{db.kiosk()};
};

TEST_F(AgeBoxTest, OnlyAStaffScanWithTheRightEndsTheAgeCheck) {
    struct Case {
        QStringList scans;  // the last one closes the box, answered by answer
        int answer;
        QStringList messages;
        TAgeOutcome outcome;
        int user;  // who answered
    };
    const QString question = "Is the customer over 16 ?";
    const Case cases[] = {
        {{"888000011"}, Yes, {question}, TAgeOutcome::Confirmed, 3},
        {{"888000011"}, No, {question}, TAgeOutcome::Refused, 3},
        {{"4b17e2c9a05d"}, Yes, {question}, TAgeOutcome::Confirmed, -1},
        {{"888000099", "888000022", "e83a5f1c6b27", "888000011"},
         Yes,
         {"Invalid Operator", "Insufficient Operator Access", "Insufficient Operator Access",
          question},
         TAgeOutcome::Confirmed,
         3},
        {{"888000055", "888000066"},
         No,
         {"Staff under 18 cannot confirm a customer's age", question},
         TAgeOutcome::Refused,
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scans.join(' ').toStdString());
        messages.clear();
        Seen seen;
        bool turning = false;
        int openAfterRefusals = 0;
        script.on<TfmInfoBox>([&](TfmInfoBox& box) {
            seen = Look(box);
            turning = box.findChild<TActivityIndicator*>("ActivityIndicator1")->animate();
            for (qsizetype i = 0; i + 1 < c.scans.size(); ++i) {
                TMessageForm::setNextAnswer(FirstButtonResult);  // the box's OK
                TypeCode(Buffer(box), c.scans[i]);
                openAfterRefusals += box.isVisible() ? 1 : 0;
            }
            TMessageForm::setNextAnswer(c.answer);
            TypeCode(Buffer(box), c.scans.last());
        });
        const TAgeCheck check = ConfirmAge(16, q);
        EXPECT_TRUE(script.done());
        EXPECT_EQ(script.rejected(), 0);
        EXPECT_EQ(check.outcome, c.outcome);
        EXPECT_EQ(check.userId, c.user);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(openAfterRefusals, c.scans.size() - 1);
        EXPECT_EQ(seen.header, "Over 16's only");
        EXPECT_EQ(seen.message, "Please wait, help is coming");
        EXPECT_EQ(seen.buttons, "");
        EXPECT_TRUE(turning);
    }
}

// As the kiosk closes it when it is stopped while waiting for staff.
TEST_F(AgeBoxTest, AnAgeBoxClosedWithoutStaffIsAbandoned) {
    script.on<TfmInfoBox>([&](TfmInfoBox& box) { box.done(QDialog::Rejected); });
    const TAgeCheck check = ConfirmAge(18, q);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(check.outcome, TAgeOutcome::Abandoned);
    EXPECT_EQ(check.userId, 0);
}

}  // namespace
