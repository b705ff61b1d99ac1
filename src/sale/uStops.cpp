#include "sale/uStops.h"

#include <algorithm>
#include <utility>

#include "sale/uBarcodes.h"

using namespace Qt::StringLiterals;

QString StopText(TStopReason reason) {
    switch (reason) {
        case TStopReason::UseBy:
            return UseByStopText;
        case TStopReason::BestBefore:
            return BestBeforeStopText;
        case TStopReason::Recall:
            break;
    }
    return RecallStopText;
}

QString StopReasonName(TStopReason reason) {
    switch (reason) {
        case TStopReason::UseBy:
            return u"USE_BY"_s;
        case TStopReason::BestBefore:
            return u"BEST_BEFORE"_s;
        case TStopReason::Recall:
            break;
    }
    return u"RECALL"_s;
}

TScanSettings ReadScanSettings(fb::Query& q) {
    q.close();
    q.setSQL(u"select GS1_SEPARATOR, STOP_BEST_BEFORE from TBL_SETUP where SETUP_ID = 1"_s);
    q.open();
    TScanSettings settings;
    if (!q.eof()) {
        settings.separatorSubstitute = q.field(0).toString();
        settings.stopBestBefore = q.field(1).toString().trimmed().toUpper() == u"Y"_s;
    }
    q.close();
    return settings;
}

std::optional<TStopReason> DateStop(const TGs1Code& code, bool stopBestBefore, const QDate& today) {
    if (code.useBy && today > *code.useBy) return TStopReason::UseBy;
    if (stopBestBefore && code.bestBefore && today > *code.bestBefore)
        return TStopReason::BestBefore;
    return std::nullopt;
}

QString Gtin14(const QString& digits) {
    const qsizetype n = digits.size();
    if ((n != 8 && n != 12 && n != 13 && n != 14) || !GtinCheckDigitValid(digits)) return {};
    return digits.rightJustified(14, u'0');
}

bool SerialInRange(const QString& serial, const QString& from, const QString& to) {
    const auto isNumber = [](const QString& text) {
        return !text.isEmpty() &&
               std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    };
    if (isNumber(serial) && isNumber(from) && isNumber(to)) {
        // Compared by their digits, so a serial of any length stays exact.
        const auto key = [](const QString& text) {
            QString digits = text;
            while (digits.size() > 1 && digits.startsWith(u'0')) digits.remove(0, 1);
            return std::pair(digits.size(), digits);
        };
        return key(from) <= key(serial) && key(serial) <= key(to);
    }
    return from <= serial && serial <= to;
}

namespace {

bool RecallMatches(fb::Query& q, const TGs1Code* code) {
    const QString batch = q.field(0).toString();
    const bool plainCodes = q.field(3).toString() == u"Y"_s;
    if (!code) return plainCodes;
    if (!batch.isEmpty()) {
        if (code->batch != batch) return false;
    } else if (!code->carriesDateOrBatch() && !plainCodes) {
        return false;
    }
    const QString from = q.field(1).toString();
    const QString to = q.field(2).toString();
    // A code without a serial cannot be shown to lie outside the range.
    if (code->serial.isEmpty() || (from.isEmpty() && to.isEmpty())) return true;
    return SerialInRange(code->serial, from.isEmpty() ? code->serial : from,
                         to.isEmpty() ? code->serial : to);
}

}  // namespace

std::optional<QString> TStops::Recall(const QString& gtin14, const TGs1Code* code,
                                      const QDate& today) {
    if (gtin14.isEmpty()) return std::nullopt;
    q_.close();
    q_.setSQL(
        u"select BATCH, SERIAL_FROM, SERIAL_TO, PLAIN_CODES, DESCRIPTION from TBL_RECALLS\r\n"
        " where GTIN = :GTIN and FROM_DATE <= :D"_s);
    q_.bind(u"GTIN"_s, gtin14);
    q_.bind(u"D"_s, today);
    std::optional<QString> recall;
    for (q_.open(); !q_.eof() && !recall; q_.next())
        if (RecallMatches(q_, code)) recall = q_.field(4).toString();
    q_.close();
    return recall;
}

void TStops::Record(const TStopRecord& stop) {
    q_.close();
    q_.setSQL(
        u"insert into TBL_STOPS (SALES_ID, SID, GTIN, BATCH, REASON, STOP_TIME)\r\n"
        " values (:SID, :PID, :GTIN, :BATCH, :REASON, :D)"_s);
    q_.bind(u"SID"_s, stop.salesId > 0 ? fb::Value(stop.salesId) : fb::Value());
    q_.bind(u"PID"_s, stop.sid);
    q_.bind(u"GTIN"_s, stop.gtin.isEmpty() ? fb::Value() : fb::Value(stop.gtin));
    q_.bind(u"BATCH"_s, stop.batch.isEmpty() ? fb::Value() : fb::Value(stop.batch));
    q_.bind(u"REASON"_s, StopReasonName(stop.reason));
    q_.bind(u"D"_s, stop.time);
    q_.execSQL();
}
