#pragma once

#include <QString>
#include <QTime>

#include "app/dm_main.h"

// The engineer page's settings: most of the setup row of TBL_SETUP, the branding colour, and the
// run-time settings of the receipt printer and the customer display. Numbers are kept as the
// engineer typed them until the page is closed.
struct TEngineerSettings {
    bool sterling = false;   // CURRENCY_TYPE is not 0
    bool hasTopups = false;  // HAS_TOPUPS is "Y"
    QString debug;           // DEBUG
    QTime dayEnd{0, 0};      // DAY_END; 00:00 when NULL
    QString keepSalesDays;   // KEEP_SALES_DAYS
    QString sagePayReports;  // SAGEPAY_REPORTS
    QString printerName;     // PRINTER_NAME
    int brandingColour = 0;  // BRANDING_COLOUR, a Windows colour value
    QString printerSpec;     // "model : port"
    QString displayPort;
    QString displayType;
    QString displayChars;
    QString gs1Separator;         // GS1_SEPARATOR: what the scanner sends for the separator
    bool stopBestBefore = false;  // STOP_BEST_BEFORE is "Y"
};

// The page as it opens: the setup row as stored, the branding colour in use and the run-time
// settings (the printer type "PrinterModel : PrinterPort").
TEngineerSettings LoadEngineerSettings(fb::Connection& conx, const TRunTimeSettings& runTime,
                                       int brandingColour);

// Splits the printer type at its first colon by position: "TMTxx : USB" gives "TMTxx" and
// "USB". An empty text gives "TMT88" and "RS232".
void SplitPrinterSpec(const QString& text, QString& model, QString& port);

// A whole number as a field of the page reads it; an empty text is NULL. Raises
// "'x' is not a valid integer value" for anything else.
fb::Value IntegerFieldValue(const QString& text);

// The longest text that may stand for the GS1 group separator.
inline constexpr int kMaxGs1SeparatorLength = 10;

// The longest keep period the page takes, in days (about ten years).
inline constexpr int kMaxKeepSalesDays = 3650;

// Closing the page: every number is checked before anything changes, so a text that is not a
// whole number, a keep period below 0 or above kMaxKeepSalesDays, or a GS1 separator text
// holding a digit or a blank (it would split the element strings' digits), raises its error with
// nothing replaced. Then the branding colour and
// the run-time settings are replaced, the run-time settings saved (dm.WriteSystemInfo, which
// reports its own failure) and the setup row stored. A debug level that starts test mode
// (uTestMode.h) keeps the level it replaces to return to at the day end and is logged as set by
// the engineer code the kiosk accepts.
void SaveEngineerSettings(Tdm& dm, const TEngineerSettings& settings);

// Whether saving the settings would start test mode (the caller asks the engineer first). A
// debug level that is not a whole number starts nothing; saving reports it.
bool SavingStartsTestMode(fb::Connection& conx, const TEngineerSettings& settings);
