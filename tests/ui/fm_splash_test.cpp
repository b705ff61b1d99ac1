#include "ui/fm_splash.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override { SetSplashWaitMs(0); }
    void TearDown() override {
        CloseSplash();
        SetSplashWaitMs(2000);
    }
};

QString LabelText(const char* name) {
    return Splash()->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

TEST_F(SplashTest, ShowsCentredWithTitleAndStatus) {
    ShowSplash();
    ASSERT_NE(Splash(), nullptr);
    EXPECT_TRUE(Splash()->isVisible());
    EXPECT_EQ(Splash()->size(), QSize(693, 449));
    EXPECT_EQ(Splash()->frameGeometry().center(),
              QGuiApplication::primaryScreen()->geometry().center());
    EXPECT_EQ(LabelText("Label1"), QStringLiteral("KelvoPOS Self Service"));
    EXPECT_FALSE(Splash()->findChild<QLabel*>("Image1")->pixmap().isNull());

    ShowSplashStatus(QStringLiteral("version: 00.00.01, DB version: 0002"));
    EXPECT_EQ(LabelText("lbVersion"), QStringLiteral("version: 00.00.01, DB version: 0002"));
}

TEST_F(SplashTest, ClosingTwiceIsHarmlessAndShowingAgainStartsAfresh) {
    ShowSplash();
    ShowSplashStatus(QStringLiteral("first run"));
    CloseSplash();
    EXPECT_EQ(Splash(), nullptr);
    CloseSplash();
    EXPECT_EQ(Splash(), nullptr);

    ShowSplash();
    ASSERT_NE(Splash(), nullptr);
    EXPECT_TRUE(LabelText("lbVersion").isEmpty());
}

TEST_F(SplashTest, StatusWaitsEvenWithoutASplash) {
    SetSplashWaitMs(60);
    QElapsedTimer timer;
    timer.start();
    ShowSplashStatus(QStringLiteral("nobody sees this"));
    EXPECT_GE(timer.elapsed(), 60);
    EXPECT_EQ(Splash(), nullptr);
}

}  // namespace
