#include "payment/fm_receipt.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "db/fbQuery.h"
#include "kiosk/KioskInput.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"

namespace {

const QString kQueue = QStringLiteral("KioskReceipts");
const QString kQueueSettings = QStringLiteral("/etc/cups/cups-pdf-kiosk.conf");

// A paid sale of crisps and cola with its card receipt, and the program folder around the data
// folder.
class PrintReceiptTest : public ::testing::Test {
protected:
    PrintReceiptTest() {
        exec(
            "update TBL_SETUP set OUR_ADD1 = 'Glenbeg Service Station', OUR_ADD2 = 'Main "
            "Street', OUR_PHONE = '066 123 4567', OUR_VATNO = 'IE1234567T'");
        exec(
            "insert into TBL_SALES_HEADERS (SALES_ID, SALE_START, SALE_END) values "
            "(42, '2024-03-04 14:00:00', '2024-03-04 14:05:09')");
        exec(
            "insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, SALES_AMT) "
            "values (42, 1, 'Crisps Salt & Vinegar', 3, 4.5)");
        exec(
            "insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, SALES_AMT) "
            "values (42, 2, 'Cola 500ml', 1, 1.25)");
        const QString receipt = db.folder() + "42.rcp";
        QFile file(receipt);
        file.open(QIODevice::WriteOnly);
        file.write("CUSTOMER COPY\r\nVISA\r\n************0119\r\nAUTH CODE: 084512\r\n");
        file.close();
        exec(QStringLiteral("insert into TBL_SALES_PAYMENTS (SALES_ID, MOP, CC_RECEIPT) values "
                            "(42, 4, '%1')")
                 .arg(receipt));
    }
    ~PrintReceiptTest() override { SetPrinterDirectory({}); }

    void exec(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.execSQL();
    }
    QString appFolder() const { return QDir::cleanPath(db.folder() + "..") + "/"; }
    QStringList print() { return PrintReceipt(db.kiosk(), 42, appFolder(), db.folder()); }

    // The text of a PDF, laid out as printed.
    static QString pdfText(const QString& file) {
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", file, "-"});
        pdftotext.waitForFinished(30000);
        return QString::fromUtf8(pdftotext.readAllStandardOutput());
    }
    static QString pdfPageSize(const QString& file) {
        QProcess pdfinfo;
        pdfinfo.start("pdfinfo", {file});
        pdfinfo.waitForFinished(30000);
        const auto match = QRegularExpression("Page size:\\s+([0-9.]+ x [0-9.]+) pts")
                               .match(QString::fromUtf8(pdfinfo.readAllStandardOutput()));
        return match.captured(1);
    }

    FixedClockGuard clock{QDateTime(QDate(2024, 3, 4), QTime(14, 5, 30))};
    TestDatabases db;
};

// pdftotext gives runs of spaces of proportional text as one: texts are compared simplified.
void ExpectReceiptText(const QString& printedSale, const QString& printedCard) {
    const QString sale = printedSale.simplified();
    const QString card = printedCard.simplified();
    for (const QString expected :
         {"Hilltop", "Glenbeg Service Station", "Main Street", "066 123 4567", "EUR",
          "Crisps Salt & Vinegar", "3 @ 1.50 4.50", "Cola 500ml", "SUB-TOTAL", "5.75", "TOTAL",
          "Paid By Card", "04/03/2024 14:05:09 Transaction No. 42", "Thank you for calling",
          "VAT No. IE1234567T"})
        EXPECT_TRUE(sale.contains(expected)) << expected.toStdString() << "\n"
                                             << sale.toStdString();
    EXPECT_LT(sale.indexOf("Cola 500ml"), sale.indexOf("SUB-TOTAL"));
    EXPECT_LT(sale.indexOf("SUB-TOTAL"), sale.indexOf("Paid By Card"));
    for (const QString expected :
         {"CARD PAYMENT - CUSTOMER COPY", "CUSTOMER COPY", "************0119", "AUTH CODE: 084512"})
        EXPECT_TRUE(card.contains(expected)) << expected.toStdString() << "\n"
                                             << card.toStdString();
    EXPECT_FALSE(card.contains("TOTAL"));
}

TEST_F(PrintReceiptTest, WithoutAPrinterEachJobIsKeptAsAPdf) {
    SetPrinterDirectory([] { return TPrinterDirectory{}; });
    const QStringList jobs = print();
    ASSERT_EQ(jobs, QStringList({db.folder() + "Printed/Receipt-42-20240304140530.pdf",
                                 db.folder() + "Printed/Card-copy-42-20240304140530.pdf"}));
    ExpectReceiptText(pdfText(jobs[0]), pdfText(jobs[1]));
    EXPECT_EQ(pdfPageSize(jobs[0]), "224 x 2832");  // 79 x 999 mm, in whole points
}

TEST(ReceiptPrinter, TheNamedPrinterElseTheDefaultElseNone) {
    const TPrinterDirectory installed{{"Office", "EPSON TM-T88V"}, "Office"};
    EXPECT_EQ(ReceiptPrinterName(installed, "epson tm-t88v"), "EPSON TM-T88V");
    EXPECT_EQ(ReceiptPrinterName(installed, "Kitchen"), "Office");
    EXPECT_EQ(ReceiptPrinterName(installed, ""), "Office");
    EXPECT_EQ(ReceiptPrinterName({{"Office"}, ""}, "Kitchen"), "");
    EXPECT_EQ(ReceiptPrinterName({}, "Office"), "");
}

TEST_F(PrintReceiptTest, TheLogoStandsBesideTheBrandName) {
    const auto logoPixel = [this] {
        const QImage page =
            TfmReceipt(BuildReceipt(db.kiosk(), 42), appFolder() + "hilltop.jpg").render(1, 100);
        // The middle of the logo's square: 2 + 4.8 + 16.9 / 2 mm across, 5 + 6.1 + 16.9 / 2 down.
        return page.pixelColor(qRound(15.25 / 25.4 * 100), qRound(19.55 / 25.4 * 100));
    };
    EXPECT_EQ(logoPixel(), QColor(Qt::white));  // no logo file

    QFile bad(appFolder() + "hilltop.jpg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    EXPECT_EQ(logoPixel(), QColor(Qt::white));

    QImage logo(64, 64, QImage::Format_RGB32);
    logo.fill(QColor(200, 0, 0));
    ASSERT_TRUE(logo.save(appFolder() + "hilltop.jpg", "JPG"));
    const QColor red = logoPixel();
    EXPECT_GT(red.red(), 150);
    EXPECT_LT(red.green(), 60);
}

TEST_F(PrintReceiptTest, ALongSaleRunsOnToTheNextPage) {
    for (int i = 0; i < 320; ++i)
        exec(QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, "
                            "SALES_AMT) values (42, 3, 'Line %1', 1, 1)")
                 .arg(i));
    SetPrinterDirectory([] { return TPrinterDirectory{}; });
    const QString sale = print().value(0);
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {sale});
    pdfinfo.waitForFinished(30000);
    EXPECT_TRUE(QString::fromUtf8(pdfinfo.readAllStandardOutput())
                    .contains(QRegularExpression("Pages:\\s+2")));
    const QString text = pdfText(sale);
    EXPECT_TRUE(text.contains("Line 319"));
    EXPECT_TRUE(text.contains("Transaction No. 42"));
}

// Where cups-pdf writes the jobs of the kiosk's test queue.
QString QueueOutputFolder() {
    QFile settings(kQueueSettings);
    if (!settings.open(QIODevice::ReadOnly)) return {};
    for (const QString& line : QString::fromUtf8(settings.readAll()).split(u'\n'))
        if (line.startsWith("Out ")) return line.mid(4).trimmed();
    return {};
}

// Two jobs through the print system to a PDF printer, read back as the printer wrote them.
TEST_F(PrintReceiptTest, PrintsThroughACupsQueue) {
    if (QPrinterInfo::printerInfo(kQueue).isNull() || QueueOutputFolder().isEmpty())
        GTEST_SKIP() << "No CUPS queue " << kQueue.toStdString()
                     << " with its PDF settings: cupsd cannot run on this machine or the queue "
                        "was not added (./kiosk test starts cupsd and adds it).";
    exec("update TBL_SETUP set PRINTER_NAME = 'kioskreceipts'");
    clock.set(QDateTime::currentDateTime());
    const QString stamp = clock.clock().now().toString("yyyyMMddhhmmss");
    ASSERT_EQ(print(), QStringList({kQueue, kQueue}));

    // cups-pdf names each file after its job's title.
    const QDir out(QueueOutputFolder());
    QString sale, card;
    QElapsedTimer waited;
    waited.start();
    while ((sale.isEmpty() || card.isEmpty()) && waited.elapsed() < 60000) {
        QThread::msleep(250);
        for (const QFileInfo& file : out.entryInfoList({"*" + stamp + "*.pdf"}, QDir::Files)) {
            if (file.size() == 0) continue;
            if (file.fileName().startsWith("Receipt")) sale = file.filePath();
            if (file.fileName().startsWith("Card")) card = file.filePath();
        }
    }
    ASSERT_FALSE(sale.isEmpty()) << "no receipt in " << out.path().toStdString();
    ASSERT_FALSE(card.isEmpty()) << "no card copy in " << out.path().toStdString();
    QThread::msleep(500);  // the PDF writer may still be closing the files
    ExpectReceiptText(pdfText(sale), pdfText(card));
}

}  // namespace
