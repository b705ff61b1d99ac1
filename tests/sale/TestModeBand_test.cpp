#include <gtest/gtest.h>

#include <QLabel>

#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"

namespace {

class TestModeBandTest : public MainScreenFixture {};

TEST_F(TestModeBandTest, ShownOnEveryPageWhileDebugIsAbove32) {
    struct Case {
        int debug;
        bool shown;
    };
    for (const Case c : {Case{33, true}, Case{32, false}}) {
        SCOPED_TRACE(c.debug);
        exec(QStringLiteral("update TBL_SETUP set DEBUG = %1").arg(c.debug));
        screen().LoadSiteDetails();
        auto* band = widget<QLabel>("lbTestMode");
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->text(), QStringLiteral("TEST MODE - NO PAYMENT TAKEN"));
        EXPECT_EQ(band->isVisible(), c.shown);
        Touch(widget("cmLookup"));
        EXPECT_EQ(page(), "tsFind");
        EXPECT_EQ(band->isVisible(), c.shown);
        screen().resetToDefault();
    }
}

}  // namespace
