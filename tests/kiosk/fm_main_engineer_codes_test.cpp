#include <gtest/gtest.h>

#include "app/uEngineerCodes.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"

namespace {

const QString kManager = QStringLiteral("K7QM2XRB9TDW4HZP");
const QString kEngineer = QStringLiteral("W3NC8VJAF5YGE6SU");

// An installed kiosk: its data folder holds codes of its own, which its data module read.
class OwnEngineerCodesTest : public MainScreenFixture {
protected:
    OwnEngineerCodesTest() {
        WriteEngineerCodes(EngineerCodesFileName(dmMain->DataFolder), kManager, kEngineer);
        dmMain->EngineerCodes = TEngineerCodes::ofDataFolder(dmMain->DataFolder);
    }
};

TEST_F(OwnEngineerCodesTest, ItsOwnCodesOpenThePagesAndTheBuiltInOnesAreUnknownCards) {
    struct Case {
        QString code;
        QString page;
        const char* leave;  // the key back to the default page
    } cases[] = {
        {kManager, "tsManager", "cmCloseScreen"},
        {kEngineer, "tsEngineer", "cmCloseEngineerScreen"},
        {QString::fromLatin1(kEngineerCode), "tsDefault", nullptr},
        {QString::fromLatin1(kEngineerSetupCode), "tsDefault", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.toStdString());
        scan(c.code);
        EXPECT_EQ(page(), c.page);
        if (c.leave) {
            Touch(widget(c.leave));
            EXPECT_EQ(page(), "tsDefault");
        } else {
            EXPECT_EQ(text("lbScannedProduct"), "Barcode Not Found");
        }
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_HEADERS"), "0");
}

}  // namespace
