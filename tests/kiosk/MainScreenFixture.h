#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QStackedWidget>
#include <memory>
#include <stdexcept>

#include "app/dm_main.h"
#include "app/uGlobals.h"
#include "db/fbQuery.h"
#include "kiosk/KioskInput.h"
#include "kiosk/fm_main.h"
#include "support/TestDatabases.h"
#include "ui/AdvDialogs.h"

// The kiosk as a customer finds it: a private copy of the databases with a few products and
// staff, the data module on it, and the main screen shown over it. Message boxes are answered
// from a queue and their texts kept in messages.
//
// Products: crisps 1.50 (5000000000017), cola 1.25 (5449000000996), lager 6.50 in an
// over-18 department (5010000000002). Staff: Mary may confirm ages (888001234), Tom may not
// (888005678).
class MainScreenFixture : public ::testing::Test {
protected:
    static constexpr const char* Crisps = "5000000000017";
    static constexpr const char* Cola = "5449000000996";
    static constexpr const char* Lager = "5010000000002";
    static constexpr const char* Mary = "888001234";
    static constexpr const char* Tom = "888005678";

    MainScreenFixture() : savedBranding_(BrandingColour) {
        dmMain = std::make_unique<Tdm>(
            QDir::cleanPath(db.folder() + QStringLiteral("../KPSelfServ")),
            TdmView{{}, [](const QString& error) { ADD_FAILURE() << error.toStdString(); }, {}});
        exec(
            "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE, BGLYPH)"
            " values (100, 555, 'Crisps Salt & Vinegar', 1, 1.5, 20, 'crisps')");
        exec(
            "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
            " values (101, 556, 'Cola 500ml', 1, 1.25, 20)");
        exec(
            "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
            " values (102, 557, 'Lager 4 Pack', 5, 6.5, 20)");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (100, '5000000000017')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (101, '5449000000996')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (102, '5010000000002')");
        exec(
            "insert into TBL_SALES_RESTRICTIONS (REST_TYPE, DEPT_ID, REST_VALUE)"
            " values (1, 5, 18)");
        exec(
            "insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS)"
            " values (7, 'Mary', '888001234', 'YYYYYYYYYY')");
        exec(
            "insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS)"
            " values (8, 'Tom', '888005678', 'YNYYYYYYYY')");
        TMessageForm::clearAnswers();
        TMessageForm::setObserver([this](TMessageForm& box) { messages << box.layout().text; });
    }

    ~MainScreenFixture() override {
        screen_.reset();
        TMessageForm::setObserver({});
        TMessageForm::clearAnswers();
        BrandingColour = savedBranding_;
    }

    // The main screen, created and shown on first use.
    TFmMain& screen() {
        if (!screen_) {
            screen_ = std::make_unique<TFmMain>(*dmMain);
            screen_->show();
        }
        return *screen_;
    }

    template <class T = QWidget>
    T* widget(const QString& name) {
        T* found = screen().findChild<T*>(name);
        if (!found) throw std::runtime_error(("No widget " + name).toStdString());
        return found;
    }
    QString text(const QString& label) { return widget<QLabel>(label)->text(); }
    QString page() { return widget<QStackedWidget>("pcMain")->currentWidget()->objectName(); }
    bool shown(const QString& name) { return !widget(name)->isHidden(); }
    QWidget* focus() { return screen().focusWidget(); }

    // A scan at the kiosk's scan point: the code's keys and Enter, into the window.
    void scan(const QString& code) { TypeCode(&screen(), code); }

    // The answer to the next kiosk message box.
    static void answer(int modalResult) { TMessageForm::setNextAnswer(modalResult); }
    static constexpr int Yes = FirstButtonResult;
    static constexpr int No = FirstButtonResult + 1;

    void exec(const QString& sql) {
        fb::Query q(dmMain->conx);
        q.setSQL(sql);
        q.execSQL();
    }
    QString select(const QString& sql) {
        fb::Query q(dmMain->conx);
        q.setSQL(sql);
        q.open();
        return q.eof() ? QString() : q.field(0).toString();
    }

    TestDatabases db;
    std::unique_ptr<Tdm> dmMain;
    QStringList messages;

private:
    int savedBranding_;
    std::unique_ptr<TFmMain> screen_;
};
