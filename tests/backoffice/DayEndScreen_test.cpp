#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include "app/uOperators.h"
#include "backoffice/fm_importUpdates.h"
#include "backoffice/uDayEnd.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "payment/uTestMode.h"
#include "sale/fm_Info.h"
#include "support/FixedClock.h"
#include "support/LogReader.h"

namespace {

// The main screen's timer over a trading day that opened on 3 March and is due to close at the
// midnight that starts 4 March.
class DayEndScreenTest : public MainScreenFixture {
protected:
    DayEndScreenTest() : clock_(QDateTime(QDate(2026, 3, 4), QTime(0, 0, 5))) {
        QDir().mkpath(db.folder() + "Export/");
        exec("insert into TBL_DAY_ENDS (DAY_START) values ('2026-03-03 00:00')");
    }

    bool exported() { return QFile::exists(db.folder() + "Export/00000001.csv"); }
    bool closed() {
        return select("select DAY_END from TBL_DAY_ENDS where DAY_END_ID = 1") ==
               "2026-03-04 00:00:00.000";
    }

private:
    FixedClockGuard clock_;
};

TEST_F(DayEndScreenTest, MaintenanceShowsItsTextWithTheScreenDisabledAndEndsAtRest) {
    screen();
    QString textDuring;
    bool enabledDuring = true;
    QTimer::singleShot(0, [&] {
        textDuring = text("lbDefaultText");
        enabledDuring = screen().isEnabled();
    });
    screen().tmTimeTimer();
    EXPECT_EQ(textDuring, "Database Maintenance in progress");
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(exported());
    EXPECT_TRUE(closed());
    EXPECT_TRUE(screen().isEnabled());
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(text("lbDefaultText"), "Scan a product or use the buttons below");
    EXPECT_EQ(select("select count(*) from TBL_DAY_ENDS where DAY_END is null"), "1");
}

// Test mode starts only once the engineer confirmed what it does, and the day end ends it.
TEST_F(DayEndScreenTest, TestModeNeedsTheEngineersConfirmationAndEndsAtTheDayEnd) {
    exec("update TBL_SETUP set DEBUG = 1");
    screen();
    scan(kEngineerSetupCode);
    ASSERT_EQ(page(), "tsEngineer");
    widget<QLineEdit>("DBEdit1")->setText("40");
    answer(No);
    Touch(widget("cmCloseEngineerScreen"));
    EXPECT_EQ(messages, QStringList{TestModeWarningText + ".\n\nStart test mode?"});
    EXPECT_EQ(page(), "tsEngineer");
    EXPECT_EQ(select("select DEBUG from TBL_SETUP"), "1");

    const LogReader log;
    answer(Yes);
    Touch(widget("cmCloseEngineerScreen"));
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(select("select DEBUG from TBL_SETUP"), "40");
    EXPECT_TRUE(shown("lbTestMode"));
    EXPECT_TRUE(log.newLines().join(u'\n').contains(
        "Test mode set by the built-in engineer code: debug level 40 (was 1)"));

    screen().tmTimeTimer();
    EXPECT_TRUE(closed());
    EXPECT_EQ(select("select DEBUG from TBL_SETUP"), "1");
    EXPECT_FALSE(shown("lbTestMode"));
    EXPECT_TRUE(log.newLines().join(u'\n').contains(
        "Test mode ended at the day end: debug level 1 again (was 40)"));
}

// The age box of a first product is open before its sale exists; the check must wait for it,
// and for the sale that follows.
TEST_F(DayEndScreenTest, NoMaintenanceWhileAModalBoxIsOpenOrASaleIsInProgress) {
    bool closedWhileAsking = true;
    ModalScript script;
    script.on<TfmInfoBox>([&](TfmInfoBox& box) {
        screen().tmTimeTimer();
        closedWhileAsking = closed();
        answer(Yes);
        TypeCode(box.findChild<QWidget*>("ebScanBuffer"), Mary);
    });
    scan(Lager);
    EXPECT_TRUE(script.done());
    EXPECT_FALSE(closedWhileAsking);
    ASSERT_GT(screen().salesID(), 0);

    screen().tmTimeTimer();
    EXPECT_FALSE(closed());
    EXPECT_FALSE(exported());

    screen().resetToDefault();  // the sale has gone
    screen().tmTimeTimer();
    EXPECT_TRUE(closed());
    EXPECT_TRUE(exported());
}

// Runs an action when a window of type T is shown.
template <class T>
class OnShow : public QObject {
public:
    explicit OnShow(std::function<void()> action) : action_(std::move(action)) {
        qApp->installEventFilter(this);
    }
    ~OnShow() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<T*>(object)) action_();
        return false;
    }

private:
    std::function<void()> action_;
};

// The import pumps events while it holds the connection's transaction; a tick then must leave
// the day alone.
TEST_F(DayEndScreenTest, NoMaintenanceWhileAnImportRuns) {
    screen();
    QDir().mkpath(db.folder() + "Import/");
    QFile update(db.folder() + "Import/update.json");
    ASSERT_TRUE(update.open(QIODevice::WriteOnly));
    update.write(R"({"site1": "Glenbeg", "site2": "", "phone": "", "vatno": ""})");
    update.close();
    int ticks = 0;
    bool closedDuringImport = false;
    OnShow<TfmImportUpdates> tick([&] {
        ++ticks;
        screen().tmTimeTimer();
        closedDuringImport = closed();
    });
    screen().resetToDefault();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(closedDuringImport);
    EXPECT_EQ(text("lbSiteName"), "Glenbeg ");

    screen().tmTimeTimer();
    EXPECT_TRUE(closed());
}

}  // namespace
