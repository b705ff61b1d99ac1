#include "backoffice/uPaymentExport.h"

#include <gtest/gtest.h>

namespace {

TEST(MinorUnitsTextTest, TwoDecimalsWithALeadingDigitAndTheSign) {
    const std::pair<qint64, const char*> cases[] = {
        {225, "2.25"}, {1050, "10.50"}, {5, "0.05"},       {0, "0.00"},
        {100, "1.00"}, {-5, "-0.05"},   {-1999, "-19.99"}, {123456789, "1234567.89"},
    };
    for (const auto& [minorUnits, text] : cases) EXPECT_EQ(MinorUnitsText(minorUnits), text);
}

}  // namespace
