#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <memory>

#include "db/fbQuery.h"
#include "payment/uCheckout.h"
#include "payment/uPinPadSimulator.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"

using BorrowedClient = TBorrowedClient;

// Records what the payment dialog was asked to show.
class FakePaymentView : public TPaymentView {
public:
    explicit FakePaymentView(QStringList& log) : log_(log) {}
    ~FakePaymentView() override { log_ << "closed"; }
    void showProgress(NonGuiTransactionHook&) override { log_ << "progress"; }
    void showResult(int ms, const TPaymentResult& result) override {
        log_ << QStringLiteral("%1 %2").arg(ms).arg(result.text());
    }

private:
    QStringList& log_;
};

// A private database with sales to pay, a scripted simulator and a dialog that records.
class PaymentFixture : public ::testing::Test {
protected:
    // A sale whose one line makes its amount due.
    int sale(double amount) {
        const int id = ++lastSale_;
        exec(QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) "
                            "values (%1, current_timestamp)")
                 .arg(id));
        exec(QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, "
                            "SALES_AMT) values (%1, 100, 'Crisps', 1, %2)")
                 .arg(id)
                 .arg(amount, 0, 'g', 17));
        return id;
    }

    TPaymentTerminal terminal() {
        return {[this] {
                    ++clientsOpened;
                    return std::make_unique<BorrowedClient>(simulator());
                },
                [this] { return std::make_unique<FakePaymentView>(viewLog); },
                {}};
    }
    // The simulator of the current configuration, made on first use; it waits with
    // simulatorWait when one is set.
    TPinPadSimulator& simulator() {
        if (!simulator_)
            simulator_ =
                std::make_unique<TPinPadSimulator>(config, TPinPadDeviceFactory{}, simulatorWait);
        return *simulator_;
    }
    bool pay(int salesId) { return TakeCardPayment(db.kiosk(), salesId, terminal(), db.folder()); }
    QStringList calls() { return simulator().calls(); }

    void exec(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.execSQL();
    }
    QString select(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.open();
        return q.eof() ? QString() : q.field(0).toString();
    }
    static QString readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    FixedClockGuard clock{QDateTime(QDate(2024, 3, 4), QTime(12, 34, 56))};
    TestDatabases db;
    TPinPadConfig config;
    std::function<void(int ms)> simulatorWait;  // none: the simulator sleeps
    QStringList viewLog;
    int clientsOpened = 0;

private:
    std::unique_ptr<TPinPadSimulator> simulator_;
    int lastSale_ = 0;
};
