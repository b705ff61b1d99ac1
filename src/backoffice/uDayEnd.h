#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

#include "db/fbConnection.h"
#include "db/fbQuery.h"

class Clock;
class QIODevice;

// Day end and housekeeping: the kiosk closes its trading days by itself. A trading day is a row
// of TBL_DAY_ENDS, open while its DAY_END is NULL. Once the open day has passed its boundary (the
// day-end time of the setup row), maintenance voids abandoned sales, purges old ones, writes the
// day's sales to Export/<day id padded to 8>.csv for the back office, closes the day at the
// boundary and opens the next one there, so consecutive files cover consecutive periods.

// Ticks of the one-second timer between two maintenance runs (about thirty minutes).
inline constexpr int DayEndHoldOffTicks = 1800;
// What a keep period of 0 or NULL means.
inline constexpr int DefaultKeepSalesDays = 21;
// The text on the default page while maintenance runs.
inline const QString MaintenanceText = QStringLiteral("Database Maintenance in progress");

// What maintenance asks of the main screen.
struct TMaintenanceView {
    // Return to the default state, show MaintenanceText and take no input.
    std::function<void()> begin;
    // Take input again and return to the default state; also after a failure.
    std::function<void()> end;
};

// The boundary of the trading day at the moment now, for the day-end time of the setup row: a
// time before noon on today's date, one from noon on at yesterday's. A boundary still ahead of
// now is taken a day earlier, so a day never closes before its boundary has passed and no sale
// made after the boundary lands in the file of the day it closes.
QDateTime DayEndBoundary(const QTime& dayEnd, const QDateTime& now);

// Export/00000042.csv for the day 42 (a longer number is written whole).
QString DayEndExportFileName(const QString& exportFolder, int dayEndId);

// A number of the export file: up to 15 significant digits, a point as the decimal separator,
// no trailing zeros, exponent notation ("1.5E-6") below 0.00001 and beyond 15 integer digits.
QString ExportNumber(double value);

// A text field of the export files: cleaned of the characters that would split the field or
// the record.
QString ExportText(const QString& text);

// The statements an export reads its day with, sales, lines and hits, each over the period
// [:D1, :D2); for measuring the export beside the reading alone.
QStringList DayEndExportStatements();

// The keep period of the setup row: KEEP_SALES_DAYS, 21 when it is 0 or NULL; the row itself is
// given 21 then, so the engineer page shows the period in use.
int DefaultKeepPeriod(fb::Connection& conx);

class TDayEnd {
public:
    // dataFolder ends with "/"; the export files go into its Export/ folder, which must exist.
    // Without a clock, "now" is the installed clock's at every use.
    TDayEnd(fb::Connection& conx, const QString& dataFolder, const Clock* clock = nullptr);

    // One tick of the main screen's timer, after the clock: counts the hold-off down, or, when
    // the screen is at rest (no sale in progress, no modal dialog, no import), runs the check.
    // Any failure of the check is caught here, rolled back and logged; the kiosk carries on.
    void Tick(bool atRest, const TMaintenanceView& view);
    int holdOff() const { return fHoldOff; }

    // Runs maintenance when the open day has passed its boundary, then opens the next day when
    // none is open. Raises on failure; the screen is restored first when maintenance had begun.
    void DayEndCheck(const TMaintenanceView& view);

    // Purges (day-end form), then exports the oldest open day that started before the boundary
    // and closes every such day at it, ending test mode (uTestMode.h). A failed export leaves
    // them all open.
    void CloseDayEnds(const QDateTime& boundary);

    // Writes the export file of the day: its sales with SALE_START from the day's DAY_START up to
    // (not including) the boundary, and beside it the day's age checks (uAgeExport.h), the
    // card payment attempts of those sales (uPaymentExport.h) and the day's stops
    // (uStopExport.h). The files appear under their names only once all are complete, the day
    // file last; true when all have. Every failure is caught and gives false, leaving no file
    // behind.
    bool ExportDayEnd(int dayEndId, const QDateTime& exportTime, const QDateTime& boundary);

    // Voids open sales (at day end all of them, otherwise those open for more than 60 minutes),
    // then deletes sales and closed days older than the keep period. Sales of a day not yet
    // exported are kept whatever their age. Age checks go with their sales; those made before
    // any sale existed go by the same age.
    void PurgeSales(bool dayEnd);

    // Opens a trading day when none is open: at the last boundary, or now when there is none
    // before 1980.
    void OpenNextDay();

    const QString& exportFolder() const { return fExportFolder; }

private:
    QDateTime now() const;
    // True while a card payment is unsettled; logged once as the hold begins.
    bool holdForUnsettledPayments();
    QDateTime dayStart(int dayEndId);
    void writeExport(QIODevice& file, int dayEndId, const QDateTime& dayStart,
                     const QDateTime& exportTime, const QDateTime& boundary);

    fb::Connection& fConx;
    fb::Query q;
    QString fExportFolder;
    const Clock* fClock;
    int fHoldOff = 0;
    bool fHeldForPayments = false;
};
