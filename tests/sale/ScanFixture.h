#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <optional>

#include "db/fbQuery.h"
#include "sale/uBarcodes.h"
#include "sale/uSale.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"

// A shop's products and a sale on the real database, scanned as the main screen scans.
namespace scanfixture {

// A customer nobody needs to check.
struct QuietView : TSaleView {
    void hideScannedProduct() override {}
    void showControlledProduct(int) override { ADD_FAILURE() << "refused as controlled"; }
    void showTimeRestricted() override { ADD_FAILURE() << "refused by trading hours"; }
    TAgeCheck confirmAge(int) override { return {TAgeOutcome::Confirmed, 1}; }
    void showStopped(const QString& text) override { stopped << text; }
    QStringList stopped;
};

class ScanTest : public ::testing::Test {
protected:
    void exec(const QString& sql) {
        q.close();
        q.setSQL(sql);
        q.execSQL();
    }
    void addProduct(int sid, int sku, double price, const QString& barcode = {}) {
        exec(QStringLiteral("insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, "
                            "VAT_RATE) values (%1, %2, 'Product %1', 1, %3, 23)")
                 .arg(sid)
                 .arg(sku)
                 .arg(price));
        if (!barcode.isEmpty())
            exec(QStringLiteral("insert into TBL_BARCODES (SID, BARCODE) values (%1, '%2')")
                     .arg(sid)
                     .arg(barcode));
    }
    // The SID a scan of the text sells; -1 when it reads "Barcode Not Found".
    int scan(const QString& text) {
        const std::optional<TSaleItem> item = sale.ScanBarcode(text);
        return item ? item->sid : -1;
    }

    struct Line {
        int sid;
        double quantity, amount;
        QString barcode;
    };
    // Sells the scanned code as the main screen does and reads back the line it made; nothing
    // when the code reads "Barcode Not Found" or the product is stopped.
    std::optional<Line> sell(const QString& code) {
        const std::optional<TSaleItem> item = sale.ScanBarcode(code);
        if (!item) return std::nullopt;
        if (!sale.AddItem(salesId, previousSalesId, *item, view).added) return std::nullopt;
        q.close();
        q.setSQL(
            "select first 1 SID, SALES_QTY, SALES_AMT, BARCODE from TBL_SALES_LINES"
            " order by SALES_LINE_ID desc");
        q.open();
        Line line{q.field(0).toInt(), q.field(1).toDouble(), q.field(2).toDouble(),
                  q.field(3).toString()};
        q.close();
        return line;
    }

    FixedClockGuard clock{QDateTime(QDate(2024, 3, 6), QTime(12, 0))};
    TestDatabases db;
    fb::Query q{db.kiosk()};
    TSale sale{db.kiosk()};
    QuietView view;
    int salesId = -1;
    int previousSalesId = -1;
};

}  // namespace scanfixture
