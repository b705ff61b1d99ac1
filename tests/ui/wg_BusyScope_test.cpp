#include "ui/wg_BusyScope.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A window as the main screen is: a scan buffer with the keyboard focus, and another control.
class BusyScopeTest : public ::testing::Test {
protected:
    BusyScopeTest() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(buffer = new QLineEdit);
        layout->addWidget(new QLineEdit);
        window.show();
        window.activateWindow();
        buffer->setFocus();
        QApplication::setActiveWindow(&window);
    }

    QWidget window;
    QLineEdit* buffer = nullptr;
};

TEST_F(BusyScopeTest, TheWindowTakesNoInputMeanwhileAndHasItsFocusBackAfterwards) {
    ASSERT_FALSE(TBusyScope::active());
    {
        const TBusyScope busy(&window);
        EXPECT_TRUE(TBusyScope::active());
        EXPECT_FALSE(window.isEnabled());
        {
            const TBusyScope inner;  // marks the kiosk busy, blocks nothing more
            EXPECT_TRUE(TBusyScope::active());
        }
        EXPECT_TRUE(TBusyScope::active());
        EXPECT_FALSE(window.isEnabled());
    }
    EXPECT_FALSE(TBusyScope::active());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), buffer);
}

TEST_F(BusyScopeTest, AWindowDisabledBeforeStaysDisabled) {
    window.setEnabled(false);
    { const TBusyScope busy(&window); }
    EXPECT_FALSE(window.isEnabled());
}

// What is queued for the screens runs during a wait and during long work's keep-alive.
TEST_F(BusyScopeTest, TimersRunWhileTheKioskWaits) {
    const TBusyScope busy;
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    TBusyScope::wait(50);
    EXPECT_EQ(ran, 1);
    QTimer::singleShot(0, [&] { ++ran; });
    TBusyScope::keepAlive();
    EXPECT_EQ(ran, 2);
}

}  // namespace
