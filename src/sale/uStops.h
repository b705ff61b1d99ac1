#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "db/fbQuery.h"
#include "sale/uGs1ElementStrings.h"

// Products stopped at the scan: past their use-by date, past their best-before date where the
// engineer page says so, or recalled by the back office (TBL_RECALLS, from the update file).
// A stopped product is not added; the customer is asked to hand it to a member of staff, and
// the stop is recorded (TBL_STOPS) for the day-end export.

enum class TStopReason { UseBy, BestBefore, Recall };

inline const QString UseByStopText =
    QStringLiteral("This item is past its use-by date. Please hand it to a member of staff.");
inline const QString BestBeforeStopText =
    QStringLiteral("This item is past its best-before date. Please hand it to a member of staff.");
inline const QString RecallStopText =
    QStringLiteral("This item cannot be sold. Please hand it to a member of staff.");

// What the customer is told.
QString StopText(TStopReason reason);
// REASON of the record and the export: USE_BY, BEST_BEFORE, RECALL.
QString StopReasonName(TStopReason reason);

// The setup row's settings for reading scans.
struct TScanSettings {
    QString separatorSubstitute;  // GS1_SEPARATOR: what the scanner sends for the separator
    bool stopBestBefore = false;  // STOP_BEST_BEFORE is "Y"
};
TScanSettings ReadScanSettings(fb::Query& q);

// The date stop of a GS1 code on the day given: a use-by date is the last day the product may
// be sold, a best-before date only stops it when the settings say so.
std::optional<TStopReason> DateStop(const TGs1Code& code, bool stopBestBefore, const QDate& today);

// The 14-digit GTIN of a GTIN-8, -12, -13 or -14 whose check digit holds, or empty.
QString Gtin14(const QString& digits);

// True when serial lies in [from, to]: as numbers when all three are digits, else as texts.
bool SerialInRange(const QString& serial, const QString& from, const QString& to);

struct TStopRecord {
    int salesId = -1;  // below 1: no sale open yet
    int sid = 0;
    QString gtin;
    QString batch;
    TStopReason reason = TStopReason::Recall;
    QDateTime time;
};

class TStops {
public:
    explicit TStops(fb::Query& q) : q_(q) {}

    // The text of the recall that stops the code on the day given, or nothing. code is the GS1
    // code scanned, or nullptr for a plain barcode, which only a recall of plain codes stops.
    // A recall with a batch stops that batch alone; one without stops every GS1 code of the GTIN
    // that carries a date or a batch; a serial range narrows either to the serials in it.
    std::optional<QString> Recall(const QString& gtin14, const TGs1Code* code, const QDate& today);

    void Record(const TStopRecord& stop);

private:
    fb::Query& q_;
};
