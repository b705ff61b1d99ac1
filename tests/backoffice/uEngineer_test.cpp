#include "backoffice/uEngineer.h"

#include <gtest/gtest.h>

#include "db/fbError.h"

namespace {

// The numbers of the page read as the fields of the setup row take them.
TEST(EngineerSettingsTest, NumbersAreWholeNumbersOrEmpty) {
    EXPECT_EQ(IntegerFieldValue(" 12 ").toInt(), 12);
    EXPECT_EQ(IntegerFieldValue("-3").toInt(), -3);
    EXPECT_TRUE(IntegerFieldValue("").isNull());
    EXPECT_TRUE(IntegerFieldValue("  ").isNull());
    for (const char* text : {"1.5", "forty", "99999999999", "12a"}) {
        SCOPED_TRACE(text);
        try {
            IntegerFieldValue(text);
            ADD_FAILURE() << "accepted";
        } catch (const fb::Error& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                      QString("'%1' is not a valid integer value").arg(text));
        }
    }
}

}  // namespace
