#include <gtest/gtest.h>

#include "app/uText.h"
#include "db/fbQuery.h"
#include "sale/uSearch.h"
#include "support/TestDatabases.h"

namespace {

// Two groups (numbered against their ids' order), keyed products in group 1 (BNUMBER above 0)
// and products without keys, descriptions holding the characters a LIKE pattern would read.
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        exec(
            "insert into TBL_PRODUCT_GROUPS values (10, 'Hot Drinks & Snacks Corner', 'cup', 2, "
            "16777215, 255)");
        exec("insert into TBL_PRODUCT_GROUPS values (20, 'Bakery', '', 1, null, null)");
        const char* const products[] = {
            // SID, DESCRIPTION, BGROUP, BNUMBER, BCOLOUR
            "1, 'Diet Cola 500ml', 1, 3, 255",  // red key: white caption
            "2, 'Cola Zero', 1, 1, 16777215",   // white key: black caption
            "3, '100% Orange Juice', 1, 2, 0",
            "4, 'Salt_and_Vinegar', 1, 4, 0",
            "5, 'Tom''s Cookies', 1, 5, 0",
            "6, 'Back\\Slash Bar', 1, 6, 0",
            "7, 'Cola Bottle Sweets', null, null, null",  // no key: never found by description
            "8, 'Cola Can 330', 2, 0, 0",                 // BNUMBER 0: not found either
            "9, 'Apple 1999 Edition', 1, 7, 0",
        };
        for (const char* p : products)
            exec(QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION, BGROUP, BNUMBER, "
                                "BCOLOUR) values (%1)")
                     .arg(QLatin1String(p)));
        exec("insert into TBL_BARCODES (SID, BARCODE) values (7, '5012345000017')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (1, '5012345000024')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (1, '5099999000011')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (2, '4012345000000')");
    }

    void exec(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.execSQL();
    }

    static QStringList captions(const std::vector<TItemKey>& keys) {
        QStringList list;
        for (const TItemKey& key : keys) list << key.caption;
        return list;
    }
    static QStringList listed(TProductList& list) {
        while (list.canFetchMore({})) list.fetchMore({});
        QStringList rows;
        for (int row = 0; row < list.rowCount(); ++row)
            rows << QStringLiteral("%1 %2").arg(list.sidAt(row)).arg(list.descriptionAt(row));
        return rows;
    }

    TestDatabases db;
    TSearch search{db.kiosk()};
};

TEST_F(SearchTest, GroupKeysInTheirOrderWithTheirColoursAndPictures) {
    const TSearchPage page = search.ShowFilterScreen(fstNoFilter, -1, {});
    EXPECT_FALSE(page.grid);
    ASSERT_EQ(page.keys.size(), 2u);
    const TItemKey& bakery = page.keys[0];
    EXPECT_EQ(bakery.kind, TItemKeyKind::Group);
    EXPECT_EQ(bakery.name, "ik_1");
    EXPECT_EQ(bakery.tag, 20);
    EXPECT_FALSE(bakery.colour.has_value());
    EXPECT_TRUE(bakery.picture.isEmpty());
    const TItemKey& drinks = page.keys[1];
    EXPECT_EQ(drinks.name, "ik_2");
    EXPECT_EQ(drinks.tag, 10);
    EXPECT_EQ(drinks.caption, "Hot Drinks && Snacks ");  // cut to 20, ampersand doubled
    EXPECT_EQ(drinks.colour, 255);
    // White is stored, but reads at 4.0:1 on red: the key's caption is black (5.25:1).
    EXPECT_EQ(drinks.captionColour, 0);
    EXPECT_EQ(drinks.picture, "cup");
    EXPECT_EQ(captions(search.ShowFilterScreen(fstItemKeyGroups, -1, {}).keys),
              captions(page.keys));
}

TEST_F(SearchTest, ProductKeysOfAGroupInKeyOrderWithReadableCaptions) {
    const TSearchPage page = search.ShowFilterScreen(fstItemKeys, 1, {});
    EXPECT_EQ(captions(page.keys),
              (QStringList{"Cola Zero", "100% Orange Juice", "Diet Cola 500ml", "Salt_and_Vinegar",
                           "Tom's Cookies", "Back\\Slash Bar", "Apple 1999 Edition"}));
    EXPECT_EQ(page.keys[0].name, "ik_1");
    EXPECT_EQ(page.keys[0].tag, 2);
    EXPECT_EQ(page.keys[0].captionColour, 0);  // black on white
    EXPECT_EQ(page.keys[2].colour, 255);
    EXPECT_EQ(page.keys[2].captionColour, 0);  // black on red: 5.25:1, where white has 4.0:1
    EXPECT_TRUE(search.ShowFilterScreen(fstItemKeys, 99, {}).keys.empty());
}

// A product without a colour of its own keeps the keys' design colour, with a dark caption.
TEST_F(SearchTest, AProductKeyWithoutAColourKeepsTheDesignColour) {
    exec(
        "insert into TBL_PRODUCTS (SID, DESCRIPTION, BGROUP, BNUMBER, BCOLOUR) values (10, "
        "'Plain Bread', 2, 1, null)");
    const TSearchPage page = search.ShowFilterScreen(fstItemKeys, 2, {});
    ASSERT_EQ(captions(page.keys), (QStringList{"Cola Can 330", "Plain Bread"}));
    EXPECT_EQ(page.keys[0].colour, 0);  // black, as stored
    EXPECT_EQ(page.keys[0].captionColour, 16777215);
    EXPECT_FALSE(page.keys[1].colour.has_value());
    EXPECT_EQ(page.keys[1].captionColour, ContrastColour(kItemKeyDesignColour));
    EXPECT_EQ(page.keys[1].captionColour, 0);
}

// The description search finds keyed products whose description holds the typed text, in
// any case; every typed character stands for itself.
TEST_F(SearchTest, DescriptionSearchMatchesTypedTextAsItStands) {
    struct Case {
        QString typed;
        QStringList found;
    };
    const Case cases[] = {
        {"cola", {"Cola Zero", "Diet Cola 500ml"}},
        {"COLA 5", {"Diet Cola 500ml"}},
        {"%", {"100% Orange Juice"}},
        {"_", {"Salt_and_Vinegar"}},
        {"'", {"Tom's Cookies"}},
        {"\\", {"Back\\Slash Bar"}},
        {"s_lt", {}},
        {"c%a", {}},
        {"' or ''='", {}},
        {"1999", {"Apple 1999 Edition"}},
        {QString(101, u'a'), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const TSearchPage page = search.ShowFilterScreen(fstFilteredItemKeys, -1, c.typed);
        if (!c.found.isEmpty()) {
            EXPECT_EQ(page.mode, fstFilteredItemKeys);
            EXPECT_FALSE(page.grid);
        }
        EXPECT_EQ(captions(page.keys), c.found);
        for (const TItemKey& key : page.keys) {
            EXPECT_EQ(key.kind, TItemKeyKind::Found);
            EXPECT_EQ(key.name, "ik_" + QString::number(key.tag));
            EXPECT_FALSE(key.colour.has_value());
        }
    }
}

TEST_F(SearchTest, ANumberInNoDescriptionListsProductsByBarcodePrefix) {
    struct Case {
        QString typed;
        TFilterScreenType mode;
        QStringList listed;
    };
    const Case cases[] = {
        {"50123", fstFilteredBarcodes, {"7 Cola Bottle Sweets", "1 Diet Cola 500ml"}},
        {"5099", fstFilteredBarcodes, {"1 Diet Cola 500ml"}},
        {"40", fstFilteredBarcodes, {"2 Cola Zero"}},
        {"777", fstFilteredBarcodes, {}},
        {"500", fstFilteredItemKeys, {}},  // "Diet Cola 500ml" holds it
        {"0", fstFilteredItemKeys, {}},    // not above 0: no list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const TSearchPage page = search.ShowFilterScreen(fstFilteredItemKeys, -1, c.typed);
        EXPECT_EQ(page.mode, c.mode);
        EXPECT_EQ(page.grid, c.mode == fstFilteredBarcodes);
        if (page.grid) {
            EXPECT_EQ(listed(search.products()), c.listed);
        }
    }
}

// A prefix matching thousands of barcodes is read in list order rather than sorted: the rows
// and their order are those a sort gives.
TEST_F(SearchTest, AListOfManyBarcodesComesInTheSameOrder) {
    {
        fb::Transaction unit(db.kiosk());
        fb::Query insert(unit);
        for (int sid = 1000; sid < 2200; ++sid) {
            insert.setSQL(
                QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION, BNUMBER) values "
                               "(:SID, :DSC, :BNR)"));
            insert.bind("SID", sid).bind("DSC", QStringLiteral("Item %1").arg((sid * 7919) % 1200));
            insert.bind("BNR", sid % 3 == 0 ? fb::Value() : fb::Value(sid % 5));
            insert.execSQL();
            for (int k = 0; k < 2; ++k) {
                insert.setSQL(
                    QStringLiteral("insert into TBL_BARCODES (SID, BARCODE) values (:SID, :BC)"));
                insert.bind("SID", sid).bind("BC", QStringLiteral("55555%1").arg(sid * 2 + k));
                insert.execSQL();
            }
        }
        unit.commit();
    }
    fb::Query q(db.kiosk());
    q.setSQL(
        QStringLiteral("select p.SID, p.DESCRIPTION from TBL_PRODUCTS p join TBL_BARCODES "
                       "b on b.SID = p.SID where b.BARCODE starting with '55555' order by "
                       "p.BNUMBER, p.DESCRIPTION, p.SID"));
    q.open();
    QStringList sorted;
    for (; !q.eof(); q.next())
        sorted << QStringLiteral("%1 %2").arg(q.field(0).toInt()).arg(q.field(1).toString());
    ASSERT_EQ(sorted.size(), 2400);

    const TSearchPage page = search.ShowFilterScreen(fstFilteredItemKeys, -1, "55555");
    EXPECT_TRUE(page.grid);
    EXPECT_EQ(listed(search.products()), sorted);
    EXPECT_EQ(search.products().rowCount(), 2400);
}

TEST_F(SearchTest, TheWholeListInKeyOrderReadInBatches) {
    {
        fb::Transaction unit(db.kiosk());
        fb::Query insert(unit);
        for (int sid = 100; sid < 350; ++sid) {
            insert.setSQL(
                QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION) values (%1, 'P%1')")
                    .arg(sid));
            insert.execSQL();
        }
        unit.commit();
    }
    TProductList& list = search.products();
    list.OpenAll();
    EXPECT_EQ(list.rowCount(), 0);  // nothing is read before the list is shown
    ASSERT_TRUE(list.canFetchMore({}));
    list.fetchMore({});
    EXPECT_GT(list.rowCount(), 0);
    EXPECT_LT(list.rowCount(), 259);  // a batch, not the whole table
    const QStringList rows = listed(list);
    ASSERT_EQ(rows.size(), 259);
    EXPECT_EQ(rows.first(), "7 Cola Bottle Sweets");  // no BNUMBER first, by description
    EXPECT_EQ(rows.last(), "9 Apple 1999 Edition");
    EXPECT_EQ(list.data(list.index(258, 0)).toString(), "Apple 1999 Edition");
}

TEST(QuantityOfTextTest, OnlyZeroTo999CountsAsAQuantity) {
    struct Case {
        const char* text;
        int quantity;
        bool accepted;  // the dialog closes on it; otherwise it refuses the text and stays open
    };
    const Case cases[] = {{"0", 0, true},
                          {"1", 1, true},
                          {"25", 25, true},
                          {"999", 999, true},
                          {"1000", 0, false},
                          {"2147483648", 0, false},
                          {"5391504580170", 0, false},
                          {"-3", 0, false},
                          {"", 0, false},
                          {"abc", 0, false},
                          {"99999999999999999999", 0, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(QuantityOfText(c.text), c.quantity) << c.text;
        EXPECT_EQ(IsQuantityText(c.text), c.accepted) << c.text;
    }
}

TEST(ItemKeyCaptionTest, CutsToTwentyAndDoublesEveryAmpersand) {
    EXPECT_EQ(ItemKeyCaption("Salt & Vinegar"), "Salt && Vinegar");
    EXPECT_EQ(ItemKeyCaption("Fish && Chips"), "Fish &&&& Chips");
    EXPECT_EQ(ItemKeyCaption("A Very Long Product Description"), "A Very Long Product ");
}

}  // namespace
