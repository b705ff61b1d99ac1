#include <gtest/gtest.h>

#include "ScanFixture.h"
#include "support/LogReader.h"

namespace {

using namespace scanfixture;

// Each symbology read as a shop reads it, on codes stored the way product files carry them.
TEST_F(ScanTest, EveryProductCodeFindsItsProductOrIsReportedAsAMisread) {
    addProduct(10, 10, 1, "5012345678900");   // EAN-13
    addProduct(11, 11, 1, "042100005264");    // UPC-A of the UPC-E 04252614 (form 0-2)
    addProduct(12, 12, 1, "0012300000451");   // UPC-A of 01234531 (form 3), as 13 digits
    addProduct(13, 13, 1, "00012340000053");  // UPC-A of 01234543 (form 4), as GTIN-14
    addProduct(14, 14, 1, "165000004325");    // UPC-A of 16543205 (forms 5-9)
    addProduct(15, 15, 1, "96385074");        // EAN-8
    addProduct(16, 16, 1, "10012345678902");  // GTIN-14 of a case
    addProduct(17, 17, 1, "12345");           // an internal code
    addProduct(18, 18, 1, "012345000072");    // UPC-A of 01234572, itself also an EAN-8
    exec("insert into TBL_USERS (USER_ID, POS_PASS, ACCESS) values (3, '888000011', 'YY')");
    const struct {
        const char* scanned;
        int sid;
        bool misread;  // logged as a misread
    } cases[] = {
        {"5012345678900", 10, false},
        {"5012345678901", -1, true},
        {"501 2345 678900", 10, false},
        {"0005012345678900", 10, false},  // leading zeros do not count
        {"04252614", 11, false},
        {"04252615", -1, true},
        {"042100005264", 11, false},
        {"042100005265", -1, true},
        {"01234531", 12, false},
        {"01234543", 13, false},
        {"16543205", 14, false},
        {"01234572", 18, false},  // a valid EAN-8 that no product has: read as UPC-E
        {"96385074", 15, false},
        {"96385075", -1, true},
        {"10012345678902", 16, false},
        {"10012345678903", -1, true},
        {"12345", 17, false},
        {"12346", -1, false},  // not a GTIN: simply not found
        {"888000011", -1, false},
        {"4b17e2c9a05d", -1, false},
        {"", -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanned);
        const LogReader log;
        EXPECT_EQ(scan(QString::fromLatin1(c.scanned)), c.sid);
        const QStringList misreads = log.newLines().filter(QStringLiteral("Barcode misread"));
        EXPECT_EQ(misreads.size(), c.misread ? 1 : 0) << misreads.join(u'\n').toStdString();
    }
}

// The stored code wins over a UPC-E reading of the same digits: an EAN-8 stays an EAN-8.
TEST_F(ScanTest, TheCodeAsStoredIsLookedUpFirst) {
    addProduct(20, 20, 1, "01234572");
    addProduct(21, 21, 1, "012345000072");
    EXPECT_EQ(scan("01234572"), 20);
    EXPECT_EQ(scan("012345000072"), 21);
}

TEST(ProductCodes, UpcEExpandsInEachOfItsFourForms) {
    const struct {
        const char* upcE;
        const char* upcA;
    } cases[] = {
        {"04252614", "042100005264"}, {"01234510", "012100003450"}, {"01234531", "012300000451"},
        {"01234543", "012340000053"}, {"16543205", "165000004325"}, {"01234598", "012345000098"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.upcE);
        EXPECT_EQ(ExpandUpcE(QString::fromLatin1(c.upcE)), QString::fromLatin1(c.upcA));
    }
    EXPECT_EQ(ExpandUpcE(u"24252614"), std::nullopt);  // number system 2 is not UPC-E
    EXPECT_EQ(ExpandUpcE(u"0425261"), std::nullopt);
    EXPECT_EQ(PriceVerifierDigit(u"2875"), 9);  // the worked example of the GS1 rules
}

// The deli scale's labels: 22 a price, 23 a weight, 24 a price with its verifier digit.
class LabelTest : public ScanTest {
protected:
    void SetUp() override {
        exec("insert into TBL_PRICE_CODES (PFX, TYP, VCK) values ('22', 'P', 'N')");
        exec("insert into TBL_PRICE_CODES (PFX, TYP, VCK) values ('23', 'W', 'N')");
        exec("insert into TBL_PRICE_CODES (PFX, TYP, VCK) values ('24', 'P', 'Y')");
        addProduct(30, 12345, 9.99);                // sold by the label's price
        addProduct(31, 23456, 12.9);                // sold by the kilogram
        addProduct(32, 77777, 5, "2212345009992");  // a product stored under a label's code
    }
};

TEST_F(LabelTest, ALabelSellsItsProductAtTheEmbeddedPriceOrWeight) {
    const struct {
        const char* code;
        int sid;
        double quantity, amount;
    } cases[] = {
        {"2212345003501", 30, 1, 3.50},            // 3.50
        {"2323456003509", 31, 0.35, 0.35 * 12.9},  // 350 g at 12.90 a kilogram
        {"2412345303506", 30, 1, 3.50},            // 3.50, verifier 3
        {"2212345009992", 32, 1, 5},               // a product of that very code wins
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::optional<Line> line = sell(QString::fromLatin1(c.code));
        ASSERT_TRUE(line);
        EXPECT_EQ(line->sid, c.sid);
        EXPECT_DOUBLE_EQ(line->quantity, c.quantity);
        EXPECT_DOUBLE_EQ(line->amount, c.amount);
        EXPECT_EQ(line->barcode, QString::fromLatin1(c.code));
    }
    // One line per label, also for the same label twice.
    ASSERT_TRUE(sell("2212345003501"));
    q.setSQL("select count(*) from TBL_SALES_LINES where BARCODE = '2212345003501'");
    q.open();
    EXPECT_EQ(q.field(0).toInt(), 2);
}

TEST_F(LabelTest, ALabelThatCannotBeReadIsNotFound) {
    for (const char* code : {
             "2299999003507",  // no product has the item number
             "2512345003502",  // a prefix the back office did not name
             "2412345403503",  // wrong price verifier
             "2212345003502",  // wrong check digit
             "2212345000005",  // a price of nothing
         }) {
        SCOPED_TRACE(code);
        EXPECT_EQ(sell(QString::fromLatin1(code)), std::nullopt);
    }
    q.setSQL("select count(*) from TBL_SALES_LINES");
    q.open();
    EXPECT_EQ(q.field(0).toInt(), 0);
}

}  // namespace
