#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/dm_main.h"
#include "db/fbQuery.h"
#include "support/FileHolder.h"
#include "support/TestDatabases.h"
#include "ui/AdvDialogs.h"
#include "ui/fm_SQLUpdates.h"

namespace {

class SQLUpdatesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        exec(db.kiosk(), QStringLiteral("update TBL_SETUP set DB_VERSION = 7"));
        db.addUpdateScript(
            8, 0,
            QStringLiteral("create table X (A integer){{immediate}}^insert into X values (8)"));
        db.closeConnections();
        dm = std::make_unique<Tdm>(
            QDir(db.folder() + QStringLiteral("..")).absoluteFilePath(QStringLiteral("KPSelfServ")),
            TdmView{});
        dialog = std::make_unique<TfmSQLUpdates>(*dm);
        dialog->SetVersion(7, 9, 1);
        TMessageForm::setObserver([this](TMessageForm& box) { boxes << box.layout().text; });
    }
    void TearDown() override {
        TMessageForm::setObserver({});
        TMessageForm::clearAnswers();
    }

    static void exec(fb::Connection& c, const QString& sql) {
        fb::Query q(c);
        q.setSQL(sql);
        q.execSQL();
    }
    int dbVersion() {
        dm->q1.setSQL(QStringLiteral("select DB_VERSION from TBL_SETUP"));
        dm->q1.open();
        const int v = dm->q1.field(0).toInt();
        dm->q1.close();
        return v;
    }

    TestDatabases db;
    std::unique_ptr<Tdm> dm;
    std::unique_ptr<TfmSQLUpdates> dialog;
    QStringList boxes;
};

TEST_F(SQLUpdatesDialogTest, OffersAndAppliesTheUpdates) {
    db.addUpdateScript(9, 1, QStringLiteral("update X set A = 9"));
    EXPECT_EQ(dialog->lbStatus->text(), QStringLiteral("Status: 1 Update(s) required (#8 to #9)"));
    EXPECT_EQ(dialog->cmCancel->text(), QStringLiteral("Close"));
    dialog->cmProceed->click();
    EXPECT_EQ(dialog->lbStatus->text(), QStringLiteral("Updated to version #9"));
    EXPECT_EQ(dialog->cmCancel->text(), QStringLiteral("Continue"));
    EXPECT_TRUE(dialog->cmCancel->isEnabled());
    EXPECT_TRUE(dialog->cmProceed->isHidden());
    EXPECT_EQ(dbVersion(), 9);
    dialog->cmCancel->click();
    EXPECT_EQ(dialog->result(), 1);
}

TEST_F(SQLUpdatesDialogTest, AFailureLeavesCloseAndTheVersionReached) {
    db.addUpdateScript(9, 1, QStringLiteral("update NO_SUCH_TABLE set A = 9"));
    EXPECT_THROW(dialog->cmProceedClick(), std::exception);
    EXPECT_EQ(dialog->lbStatus->text(), QStringLiteral("Updated to version #8"));
    EXPECT_EQ(dialog->cmCancel->text(), QStringLiteral("Close"));
    EXPECT_TRUE(dialog->cmCancel->isEnabled());
    EXPECT_TRUE(dialog->pbProgress->isHidden());
    EXPECT_EQ(dbVersion(), 8);
    dialog->cmCancel->click();
    EXPECT_EQ(dialog->result(), 2);
}

TEST_F(SQLUpdatesDialogTest, RefusesWhileAnotherProcessUsesTheDatabase) {
    {
        FileHolder holder(db.kioskPath());
        TMessageForm::setNextAnswer(FirstButtonResult);
        dialog->cmProceedClick();
    }
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(
        boxes[0].startsWith(QStringLiteral("The database is still in use by another process.")));
    EXPECT_FALSE(dialog->cmProceed->isHidden());
    EXPECT_EQ(dbVersion(), 7);
}

}  // namespace
