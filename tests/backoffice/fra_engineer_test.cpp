#include "backoffice/fra_engineer.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>

#include "app/uOperators.h"
#include "app/uTX32Reg.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "support/FixedClock.h"
#include "ui/fm_baseDialog.h"
#include "ui/fra_tile.h"
#include "ui/wg_Colours.h"
#include "ui/wg_KioskApplication.h"

namespace {

// The main screen with its engineer page, on a data module whose run-time settings start empty
// and whose kiosk error box is the kiosk's own message box. Errors of the standard error box
// are kept in errors.
class EngineerPageTest : public MainScreenFixture {
protected:
    EngineerPageTest() {
        TTX32Reg().deleteSection(RunTimeSettingsSection);
        dmMain = newDataModule();
        TKioskApplication::setErrorPresenter([this](const QString& error) { errors << error; });
    }
    ~EngineerPageTest() override {
        TKioskApplication::setErrorPresenter({});
        TTX32Reg().deleteSection(RunTimeSettingsSection);
    }

    std::unique_ptr<Tdm> newDataModule() {
        TdmView view;
        view.showError = [](const QString& error) { ADD_FAILURE() << error.toStdString(); };
        view.showKioskError = [](const QString& error) { ShowError(error); };
        return std::make_unique<Tdm>(QDir::cleanPath(db.folder() + "../KPSelfServ"), view);
    }

    void openPage() {
        scan(kEngineerSetupCode);
        ASSERT_EQ(page(), "tsEngineer");
    }
    void closePage() { Touch(widget("cmCloseEngineerScreen")); }
    QComboBox* combo(const char* name) { return widget<QComboBox>(name); }
    QLineEdit* edit(const char* name) { return widget<QLineEdit>(name); }
    QColor colourOf(const char* name) { return widget(name)->palette().color(QPalette::Window); }

    QStringList errors;
};

TEST_F(EngineerPageTest, TheFirstVisitShowsTheSetupRowAndEmptyRunTimeSettings) {
    exec(
        "update TBL_SETUP set DAY_END = '22:30', KEEP_SALES_DAYS = 0, DEBUG = 3,"
        " SAGEPAY_REPORTS = '/srv/sagepay', PRINTER_NAME = 'Receipts', HAS_TOPUPS = 'N'");
    openPage();
    EXPECT_EQ(combo("cbo_PrinterSpec")->currentText(), " : ");
    EXPECT_EQ(edit("edt_IntDisplayChars")->text(), "0");
    EXPECT_EQ(combo("cbo_IntDisplayPort")->currentText(), "");
    EXPECT_TRUE(widget<QRadioButton>("rb_Euro")->isChecked());
    EXPECT_EQ(widget<QTimeEdit>("rDBDateTimePicker1")->text(), "22:30");
    EXPECT_EQ(edit("DBEdit1")->text(), "3");
    EXPECT_EQ(edit("DBEdit2")->text(), "21");  // a keep period of 0 means 21
    EXPECT_EQ(edit("DBEdit3")->text(), "/srv/sagepay");
    EXPECT_EQ(combo("edt_PrinterName")->currentText(), "Receipts");
    EXPECT_FALSE(widget<QCheckBox>("DBCheckBox1")->isChecked());
    EXPECT_EQ(text("lbSiteName"), "KelvoPOS Self Service ");
    QStringList types;
    for (int i = 0; i < combo("cbo_IntDisplpayType")->count(); ++i)
        types << combo("cbo_IntDisplpayType")->itemText(i);
    EXPECT_EQ(types, QStringList({"Epson", "J2", "WN-BA63", "WN-BA63USB", "VGA", "NCR-integrated",
                                  "NCR-pole"}));
}

// What closing makes of the printer type, kept across a restart of the kiosk.
TEST_F(EngineerPageTest, ClosingSplitsThePrinterTypeByPositionAndKeepsTheSettings) {
    struct Case {
        const char* spec;
        const char* model;
        const char* port;
    } cases[] = {
        {"NCR : USB", "NCR", "USB"},
        {" : ", "", ""},
        {"", "TMT88", "RS232"},
        {"USB", "", "SB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        openPage();
        combo("cbo_PrinterSpec")->setEditText(c.spec);
        combo("cbo_IntDisplayPort")->setCurrentIndex(2);
        combo("cbo_IntDisplpayType")->setEditText("VGA");
        edit("edt_IntDisplayChars")->setText("");
        closePage();
        EXPECT_EQ(page(), "tsDefault");
        const std::unique_ptr<Tdm> restarted = newDataModule();
        for (const Tdm* module : {dmMain.get(), restarted.get()}) {
            EXPECT_EQ(module->RunTime.PrinterModel, c.model);
            EXPECT_EQ(module->RunTime.PrinterPort, c.port);
            EXPECT_EQ(module->RunTime.DisplayPort, "COM3");
            EXPECT_EQ(module->RunTime.DisplayType, "VGA");
            EXPECT_EQ(module->RunTime.DisplayChars, 0);
        }
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EngineerPageTest, ClosingStoresTheBoundFieldsAndTheCurrency) {
    exec("update TBL_SETUP set CURRENCY_TYPE = 2");
    openPage();
    EXPECT_TRUE(widget<QRadioButton>("rb_STG")->isChecked());
    widget<QTimeEdit>("rDBDateTimePicker1")->setTime(QTime(6, 15));
    edit("DBEdit2")->setText("35");
    edit("DBEdit1")->setText("");
    widget<QCheckBox>("DBCheckBox1")->setChecked(false);
    combo("edt_PrinterName")->setEditText("Till Printer");
    closePage();
    EXPECT_EQ(select("select CURRENCY_TYPE || ' ' || DAY_END || ' ' || KEEP_SALES_DAYS || ' ' ||"
                     " HAS_TOPUPS || ' ' || PRINTER_NAME || ' ' || coalesce(DEBUG, 'null')"
                     " from TBL_SETUP"),
              "1 06:15:00.0000 35 N Till Printer null");
    EXPECT_FALSE(shown("cmTopups"));
}

TEST_F(EngineerPageTest, AColourDialogCancelledLeavesTheColourAndAChosenOneIsPaintedOnClosing) {
    exec("update TBL_SETUP set BRANDING_COLOUR = 255");  // red
    openPage();
    ModalScript script;
    script.on<QColorDialog>([](QColorDialog& dialog) {
        dialog.setCurrentColor(Qt::blue);
        dialog.reject();
    });
    Touch(widget("pnBrandingColour"));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(colourOf("pnBrandingColour"), QColor(Qt::red));

    script.on<QColorDialog>([](QColorDialog& dialog) {
        dialog.setCurrentColor(QColor(0x33, 0x66, 0x99));
        dialog.accept();
    });
    Touch(widget("pnBrandingColour"));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(colourOf("pnBrandingColour"), QColor(0x33, 0x66, 0x99));
    EXPECT_EQ(select("select BRANDING_COLOUR from TBL_SETUP"), "255");  // not yet stored

    closePage();
    EXPECT_EQ(select("select BRANDING_COLOUR from TBL_SETUP"), "10053171");  // 0x996633
    for (const char* bar : {"pnTop", "pnBottom", "pnFinishAndPay"})
        EXPECT_EQ(colourOf(bar), QColor(0x33, 0x66, 0x99)) << bar;
}

TEST_F(EngineerPageTest, AColourOfZeroKeepsTheBarsAndBlackensDialogHeaders) {
    exec("update TBL_SETUP set BRANDING_COLOUR = 255");
    openPage();
    ModalScript script;
    script.on<QColorDialog>([](QColorDialog& dialog) {
        dialog.setCurrentColor(Qt::black);
        dialog.accept();
    });
    Touch(widget("pnBrandingColour"));
    closePage();
    EXPECT_EQ(select("select BRANDING_COLOUR from TBL_SETUP"), "0");
    EXPECT_NE(colourOf("pnTop"), QColor(Qt::red));  // the designed colour again
    EXPECT_NE(colourOf("pnTop"), QColor(Qt::black));
    TfmBaseDialog dialog;
    EXPECT_EQ(dialog.findChild<QWidget*>("pnHeader")->palette().color(QPalette::Window),
              QColor(Qt::black));
}

// Nothing is replaced until every number reads: the page stays open with the edits, and the
// corrected text completes the save.
TEST_F(EngineerPageTest, ADisplayWidthThatIsNotANumberKeepsThePageOpenWithNothingSaved) {
    openPage();
    combo("cbo_PrinterSpec")->setEditText("NCR : USB");
    edit("edt_IntDisplayChars")->setText("forty");
    widget<QTimeEdit>("rDBDateTimePicker1")->setTime(QTime(23, 0));
    closePage();
    EXPECT_EQ(errors, QStringList({"'forty' is not a valid integer value"}));
    EXPECT_EQ(page(), "tsEngineer");
    EXPECT_EQ(dmMain->RunTime.PrinterModel, "");
    EXPECT_EQ(select("select DAY_END from TBL_SETUP"), "00:00:00");

    edit("edt_IntDisplayChars")->setText("40");
    closePage();
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(dmMain->RunTime.PrinterModel, "NCR");
    EXPECT_EQ(dmMain->RunTime.DisplayChars, 40);
    EXPECT_EQ(select("select DAY_END from TBL_SETUP"), "23:00:00");
}

// A keep period outside 0 to 3,650 days would purge at the wrong time: refused with nothing
// saved, as a text that is not a number is; the limits themselves are taken.
TEST_F(EngineerPageTest, AKeepPeriodOutsideItsRangeKeepsThePageOpenWithNothingSaved) {
    struct Case {
        const char* typed;
        const char* error;  // empty: saved
        const char* stored;
    };
    const Case cases[] = {
        {"-1", "'-1' is not a valid keep period: it must be from 0 to 3,650 days", "30"},
        {"3651", "'3651' is not a valid keep period: it must be from 0 to 3,650 days", "30"},
        {"ten", "'ten' is not a valid integer value", "30"},
        {"1", "", "1"},
        {"3650", "", "3650"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        exec("update TBL_SETUP set KEEP_SALES_DAYS = 30, DAY_END = '00:00'");
        errors.clear();
        openPage();
        edit("DBEdit2")->setText(c.typed);
        widget<QTimeEdit>("rDBDateTimePicker1")->setTime(QTime(23, 0));
        closePage();
        if (*c.error) {
            EXPECT_EQ(errors, QStringList{c.error});
            EXPECT_EQ(page(), "tsEngineer");
            EXPECT_EQ(select("select DAY_END from TBL_SETUP"), "00:00:00");
            screen().resetToDefault();
        } else {
            EXPECT_TRUE(errors.isEmpty());
            EXPECT_EQ(page(), "tsDefault");
        }
        EXPECT_EQ(select("select KEEP_SALES_DAYS from TBL_SETUP"), c.stored);
    }
}

// What the scanner sends for the GS1 separator, and whether a best-before date stops a product:
// kept as typed, or refused with nothing saved when the text would split a code's digits.
TEST_F(EngineerPageTest, TheSettingsOfGs1CodesAreStoredOrRefusedWhole) {
    const struct {
        const char* typed;
        const char* error;  // empty: saved
        const char* stored;
    } cases[] = {
        {"~", "", "~ Y"},
        {"<GS>", "", "<GS> Y"},
        {"", "", " Y"},
        {"1",
         "'1' cannot stand for the GS1 separator: it must be up to 10 characters, without "
         "digits or blanks",
         "^ N"},
        {"a b",
         "'a b' cannot stand for the GS1 separator: it must be up to 10 characters, "
         "without digits or blanks",
         "^ N"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        exec("update TBL_SETUP set GS1_SEPARATOR = '^', STOP_BEST_BEFORE = 'N'");
        errors.clear();
        openPage();
        EXPECT_EQ(edit("edt_Gs1Separator")->text(), "^");
        EXPECT_FALSE(widget<QCheckBox>("chk_StopBestBefore")->isChecked());
        edit("edt_Gs1Separator")->setText(c.typed);
        widget<QCheckBox>("chk_StopBestBefore")->setChecked(true);
        closePage();
        EXPECT_EQ(errors, *c.error ? QStringList{c.error} : QStringList());
        if (*c.error) screen().resetToDefault();
        EXPECT_EQ(select("select GS1_SEPARATOR || ' ' || STOP_BEST_BEFORE from TBL_SETUP"),
                  c.stored);
    }
}

// Both settings files unreadable for the life of the object; their contents come back after.
class UnreadableSettings {
public:
    UnreadableSettings() {
        for (const char* variable : {"KIOSK_REGISTRY_MACHINE", "KIOSK_REGISTRY_USER"}) {
            const QString path = qEnvironmentVariable(variable);
            QFile file(path);
            saved_.append({path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()});
            file.close();
            QDir().mkpath(QFileInfo(path).absolutePath());
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write("not a registry file\n");
        }
    }
    ~UnreadableSettings() {
        for (const auto& [path, content] : saved_) {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(content);
        }
    }

private:
    QList<std::pair<QString, QByteArray>> saved_;
};

TEST_F(EngineerPageTest, SettingsThatCannotBeSavedAreReportedAndTheRowIsStillStored) {
    openPage();
    widget<QTimeEdit>("rDBDateTimePicker1")->setTime(QTime(5, 0));
    {
        UnreadableSettings unreadable;
        answer(Yes);
        closePage();
    }
    EXPECT_EQ(messages, QStringList({"Error Saving System Info"}));
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(select("select DAY_END from TBL_SETUP"), "05:00:00");
}

// Day-end maintenance leaves the page without saving: the edits are gone at the next visit.
TEST_F(EngineerPageTest, MaintenanceDiscardsEditsNotYetSaved) {
    FixedClockGuard clock(QDateTime(QDate(2026, 3, 4), QTime(0, 0, 5)));
    QDir().mkpath(db.folder() + "Export/");
    exec("insert into TBL_DAY_ENDS (DAY_START) values ('2026-03-03 00:00')");
    openPage();
    widget<QTimeEdit>("rDBDateTimePicker1")->setTime(QTime(23, 0));
    edit("DBEdit2")->setText("99");
    screen().tmTimeTimer();
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(select("select DAY_END || ' ' || KEEP_SALES_DAYS from TBL_SETUP"),
              "00:00:00.0000 21");
    openPage();
    EXPECT_EQ(widget<QTimeEdit>("rDBDateTimePicker1")->text(), "00:00");
    EXPECT_EQ(edit("DBEdit2")->text(), "21");
}

}  // namespace
