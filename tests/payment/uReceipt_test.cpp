#include "payment/uReceipt.h"

#include <gtest/gtest.h>

#include <QFile>

#include "db/fbQuery.h"
#include "kiosk/KioskInput.h"
#include "support/TestDatabases.h"

namespace {

// A sale of the test's lines, closed at 14:05:09 on 4 March 2024.
class ReceiptTest : public ::testing::Test {
protected:
    ReceiptTest() {
        exec(
            "insert into TBL_SALES_HEADERS (SALES_ID, SALE_START, SALE_END) values "
            "(42, '2024-03-04 14:00:00', '2024-03-04 14:05:09')");
        exec(
            "update TBL_SETUP set OUR_ADD1 = 'Glenbeg Service Station', OUR_ADD2 = 'Main "
            "Street', OUR_PHONE = '066 123 4567', OUR_VATNO = 'IE1234567T', PRINTER_NAME = "
            "'Receipts'");
    }

    void line(const QString& product, double qty, double amount, int status = 0) {
        exec(QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, "
                            "SALES_AMT, STATUS) values (42, 1, '%1', %2, %3, %4)")
                 .arg(product)
                 .arg(qty)
                 .arg(amount, 0, 'g', 17)
                 .arg(status));
    }
    void hit(int promo, int number, double original, double discounted) {
        exec(QStringLiteral("insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, ORIGINAL_VALUE, "
                            "DISCOUNTED_VALUE, HIT_NUMBER) values (42, %1, %2, %3, %4)")
                 .arg(promo)
                 .arg(original)
                 .arg(discounted)
                 .arg(number));
    }
    void exec(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.execSQL();
    }
    // Report 1's detail lines as printed: the product column, a tab, the amount column.
    QStringList printed() {
        receipt = BuildReceipt(db.kiosk(), 42);
        QStringList lines;
        const TMemTable& t = receipt.cdsReceipt;
        for (int row = 0; row < t.rowCount(); ++row)
            lines << t.value(row, "PRODUCT").toString() + u'\t' +
                         ReceiptAmountText(t.value(row, "VALUE"));
        return lines;
    }

    TestDatabases db;
    TReceipt receipt;
};

TEST_F(ReceiptTest, AQuantityAboveOnePrintsTheNameThenTheQuantityLine) {
    line("Crisps Salt & Vinegar", 3, 4.5);
    line("Cola 500ml", 1, 1.25);
    EXPECT_EQ(printed(), QStringList({"Crisps Salt & Vinegar\t", "      3 @         1.50\t4.50",
                                      "Cola 500ml\t1.25", "SUB-TOTAL\t5.75"}));
    EXPECT_DOUBLE_EQ(receipt.cdsReceipt.value(1, "QTY").toDouble(), 3);
}

TEST_F(ReceiptTest, ZeroAmountsPrintNoAmountAndLongNamesAreCut) {
    line("Free Newspaper", 1, 0);
    line("A Product Name Of Thirty-Five Chars", 1, 0);
    EXPECT_EQ(printed(),
              QStringList({"Free Newspaper\t", "A Product Name Of Thirty-Five \t", "SUB-TOTAL\t"}));
    EXPECT_EQ(receipt.labels.total, "0.00");
    EXPECT_EQ(receipt.labels.paidByCard, "");
}

TEST_F(ReceiptTest, OnlyWhatWasSoldIsListedAndCounted) {
    line("Crisps", 1, 1.5);
    line("Lager", 1, 6.5, 20);  // voided
    line("Cola", 1, 1.25);
    EXPECT_EQ(printed(), QStringList({"Crisps\t1.50", "Cola\t1.25", "SUB-TOTAL\t2.75"}));
    EXPECT_EQ(receipt.labels.total, "2.75");
}

TEST_F(ReceiptTest, EveryHitIsADiscountLineOfItsOwn) {
    exec("insert into TBL_PROMOTIONS (PROMO_ID, DESCRIPTION) values (7, 'Crisps + Cola 50c Off')");
    line("Crisps", 2, 3);
    line("Cola", 2, 2.5);
    hit(7, 1, 2.75, 2.25);
    hit(7, 2, 2.75, 2.25);
    EXPECT_EQ(printed(), QStringList({"Crisps\t", "      2 @         1.50\t3.00", "Cola\t",
                                      "      2 @         1.25\t2.50", "SUB-TOTAL\t5.50", "\t",
                                      "PROMOTIONAL DISCOUNTS\t", "Crisps + Cola 50c Off\t-0.50",
                                      "Crisps + Cola 50c Off\t-0.50"}));
    EXPECT_EQ(receipt.labels.total, "4.50");
}

TEST_F(ReceiptTest, TotalsUseGroupSeparatorsAndLinesDoNot) {
    line("Fuel Card Top-Up", 1, 1234.5);
    EXPECT_EQ(printed().first(), "Fuel Card Top-Up\t1234.50");
    EXPECT_EQ(receipt.labels.total, "1,234.50");
    EXPECT_EQ(receipt.labels.paidByCard, "1,234.50");
}

TEST_F(ReceiptTest, HeaderAndFooterLabelsComeFromTheSetupAndTheSale) {
    for (const auto& [type, currency] :
         {std::pair{0, "EUR"}, std::pair{1, "GBP"}, std::pair{2, "EUR"}}) {
        exec(QStringLiteral("update TBL_SETUP set CURRENCY_TYPE = %1").arg(type));
        EXPECT_EQ(BuildReceipt(db.kiosk(), 42).labels.currency, currency);
    }
    receipt = BuildReceipt(db.kiosk(), 42);
    EXPECT_EQ(receipt.labels.site1, "Glenbeg Service Station");
    EXPECT_EQ(receipt.labels.site2, "Main Street");
    EXPECT_EQ(receipt.labels.phone, "066 123 4567");
    EXPECT_EQ(receipt.labels.vatNo, "VAT No. IE1234567T");
    EXPECT_EQ(receipt.labels.timestamp, "04/03/2024  14:05:09   Transaction No. 42");
    EXPECT_EQ(receipt.printerName, "Receipts");
}

TEST_F(ReceiptTest, TheCardCopyIsReadBackFromTheReceiptFile) {
    line("Crisps", 1, 1.5);
    EXPECT_EQ(BuildReceipt(db.kiosk(), 42).cdsCCCopy.rowCount(), 0);  // no payment

    const QString path = db.folder() + "42-20240304140509.rcp";
    exec(QStringLiteral("insert into TBL_SALES_PAYMENTS (SALES_ID, MOP, CC_RECEIPT) values (42, "
                        "4, '%1')")
             .arg(path));
    EXPECT_EQ(BuildReceipt(db.kiosk(), 42).cdsCCCopy.rowCount(), 0);  // no file

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("CUSTOMER COPY\r\nVISA\r\n\r\n" + QByteArray(140, 'x') + "\r\nAPPROVED\r\n");
    file.close();
    const TMemTable copy = BuildReceipt(db.kiosk(), 42).cdsCCCopy;
    QStringList lines;
    for (int row = 0; row < copy.rowCount(); ++row) lines << copy.value(row, "LINE").toString();
    EXPECT_EQ(lines, QStringList({"CUSTOMER COPY", "VISA", "", QString(128, u'x'), "APPROVED"}));
}

TEST(ReceiptTexts, AmountsThatReadAsZeroPrintEmpty) {
    for (const auto& [text, shown] :
         {std::pair{"0.00", ""}, std::pair{"-0.00", ""}, std::pair{"(0.00)", ""},
          std::pair{"abc", ""}, std::pair{"", ""}, std::pair{"1,234.50", "1,234.50"},
          std::pair{"(1.00)", "(1.00)"}, std::pair{"-0.01", "-0.01"}})
        EXPECT_EQ(BlankIfZero(text), shown) << text;
    EXPECT_EQ(ReceiptAmountText({}), "");
    EXPECT_EQ(ReceiptAmountText(0.004), "");
    EXPECT_EQ(ReceiptAmountText(-0.5), "-0.50");
}

TEST(ReceiptTexts, PrinterNamesMatchWithoutRegardToCase) {
    const QStringList installed{"Office", "EPSON TM-T88V", "Receipts"};
    EXPECT_EQ(FindPrinter(installed, "epson tm-t88v"), 1);
    EXPECT_EQ(FindPrinter(installed, "Receipts"), 2);
    EXPECT_EQ(FindPrinter(installed, "Kitchen"), -1);
    EXPECT_EQ(FindPrinter(installed, ""), -1);
}

}  // namespace
