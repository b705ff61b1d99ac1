#include "backoffice/uDayEnd.h"

#include <QDir>
#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uText.h"
#include "backoffice/uAgeExport.h"
#include "backoffice/uExportFile.h"
#include "backoffice/uPaymentExport.h"
#include "backoffice/uStopExport.h"
#include "payment/uPaymentJournal.h"
#include "payment/uTestMode.h"

namespace {

const QDate EarliestDayStart(1980, 1, 1);
constexpr int OpenSaleMinutes = 60;

// The sales of one export: SALE_START from the day's start up to the boundary. Lines and hits
// are read for the whole period at once and matched to their sale by SALES_ID, in the order of
// the sales.
const QString HeadersSql = QStringLiteral(
    "select SALES_ID, SALE_START, GROSS, VAT, STATUS from TBL_SALES_HEADERS\r\n"
    " where SALE_START >= :D1 and SALE_START < :D2\r\n"
    " order by SALES_ID");
const QString LinesSql = QStringLiteral(
    "select l.SALES_ID, l.LINE_ID, l.STATUS, l.DEPT_ID, l.SID, l.SKU, l.PRODUCT, l.BARCODE,\r\n"
    "  l.SALES_QTY, l.SALES_AMT, l.VAT_ID, l.VAT_RATE\r\n"
    " from TBL_SALES_HEADERS s join TBL_SALES_LINES l on l.SALES_ID = s.SALES_ID\r\n"
    " where s.SALE_START >= :D1 and s.SALE_START < :D2\r\n"
    " order by l.SALES_ID, l.SALES_LINE_ID");
// Hit rows have no key of their own: they keep the order in which they were stored.
const QString HitsSql = QStringLiteral(
    "select h.SALES_ID, h.PROMO_ID, r.DESCRIPTION as PROMOTION, h.DEPT_ID, h.SID, h.QTY,\r\n"
    "  h.ORIGINAL_VALUE, h.DISCOUNTED_VALUE, h.HIT_NUMBER, h.VAT_ID, h.VAT_RATE,\r\n"
    "  p.DESCRIPTION as PRODUCT\r\n"
    " from TBL_SALES_HEADERS s join TBL_PROMO_HITS h on h.SALES_ID = s.SALES_ID\r\n"
    " left join TBL_PROMOTIONS r on r.PROMO_ID = h.PROMO_ID\r\n"
    " left join TBL_PRODUCTS p on p.SID = h.SID\r\n"
    " where s.SALE_START >= :D1 and s.SALE_START < :D2\r\n"
    " order by h.SALES_ID, h.RDB$DB_KEY");

// The kinds of field in an export record, one letter per field of the select, in its order.
// i integer, n number, d date-time, t text.
constexpr const char* HeaderFields = "idnni";
constexpr const char* LineFields = "iiiiittnnin";
constexpr const char* HitFields = "itiinnniint";

void AppendNumber(QByteArray& out, double value) {
    char buffer[64];
    const double magnitude = std::fabs(value);
    if (value == 0 || !std::isfinite(value)) {
        out.append('0');
        return;
    }
    if (magnitude >= 1e-5 && magnitude < 1e15) {
        const int integerDigits = int(std::floor(std::log10(magnitude))) + 1;
        const int decimals = std::max(0, 15 - integerDigits);
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
                .ptr;
        std::string_view text(buffer, size_t(end - buffer));
        if (text.find('.') != std::string_view::npos) {
            while (text.ends_with('0')) text.remove_suffix(1);
            if (text.ends_with('.')) text.remove_suffix(1);
        }
        out.append(text.data(), qsizetype(text.size()));
        return;
    }
    // Exponent notation: the mantissa without trailing zeros, "E", the exponent unpadded.
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14).ptr;
    const std::string_view text(buffer, size_t(end - buffer));
    const size_t e = text.find('e');
    std::string_view mantissa = text.substr(0, e);
    while (mantissa.ends_with('0')) mantissa.remove_suffix(1);
    if (mantissa.ends_with('.')) mantissa.remove_suffix(1);
    int exponent = 0;
    std::string_view exponentText = text.substr(e + 1);
    if (exponentText.starts_with('+')) exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    out.append(mantissa.data(), qsizetype(mantissa.size()));
    out.append('E');
    out.append(QByteArray::number(exponent));
}

void AppendText(QByteArray& out, const QString& text) {
    out.append(ExportText(text).toUtf8());
}

void AppendField(QByteArray& out, char kind, const fb::Value& value) {
    out.append(',');
    switch (kind) {
        case 'i':
            out.append(QByteArray::number(value.toInt64()));
            break;
        case 'n':
            AppendNumber(out, value.toDouble());
            break;
        case 'd':
            AppendNumber(out, value.isNull() ? 0 : DateTimeToDayNumber(value.toDateTime()));
            break;
        default:
            AppendText(out, value.toString());
    }
}

// Appends one record: the type, then the query's fields from the first position on.
void AppendRecord(QByteArray& out, const char* type, fb::Query& query, int first,
                  const char* kinds) {
    out.append(type);
    for (int i = 0; kinds[i]; ++i) AppendField(out, kinds[i], query.field(first + i));
    out.append("\r\n");
}

// The export reads each row of the period [from, to) once: a forward-only cursor keeps only the
// row it stands on, however long the day.
void Open(fb::Query& query, const QString& sql, const QDateTime& from, const QDateTime& to) {
    query.setForwardOnly(true);
    query.setSQL(sql);
    query.bind(QStringLiteral("D1"), from);
    query.bind(QStringLiteral("D2"), to);
    query.open();
}

}  // namespace

QDateTime DayEndBoundary(const QTime& dayEnd, const QDateTime& now) {
    const QTime time = dayEnd.isValid() ? dayEnd : QTime(0, 0);
    const QDate date = time < QTime(12, 0) ? now.date() : now.date().addDays(-1);
    const QDateTime boundary(date, time);
    return boundary > now ? QDateTime(date.addDays(-1), time) : boundary;
}

QString DayEndExportFileName(const QString& exportFolder, int dayEndId) {
    return IncludeSlash(exportFolder) + PadLeft(IntText(dayEndId), 8, u'0', false) +
           QStringLiteral(".csv");
}

QString ExportNumber(double value) {
    QByteArray text;
    AppendNumber(text, value);
    return QString::fromLatin1(text);
}

QString ExportText(const QString& text) {
    QString cleaned = CleanCsvField(text);
    for (QChar& c : cleaned)
        if (c.category() == QChar::Other_Control) c = u' ';
    return cleaned;
}

QStringList DayEndExportStatements() {
    return {HeadersSql, LinesSql, HitsSql};
}

int DefaultKeepPeriod(fb::Connection& conx) {
    fb::Query q(conx);
    q.setSQL(QStringLiteral("select KEEP_SALES_DAYS from TBL_SETUP"));
    q.open();
    const int days = q.eof() ? 0 : q.field(0).toInt();
    q.close();
    if (days != 0) return days;
    q.setSQL(
        QStringLiteral("update TBL_SETUP set KEEP_SALES_DAYS = :K\r\n"
                       " where KEEP_SALES_DAYS is null or KEEP_SALES_DAYS = 0"));
    q.bind(QStringLiteral("K"), DefaultKeepSalesDays);
    q.execSQL();
    return DefaultKeepSalesDays;
}

TDayEnd::TDayEnd(fb::Connection& conx, const QString& dataFolder, const Clock* clock)
    : fConx(conx),
      q(conx),
      fExportFolder(IncludeSlash(dataFolder) + QStringLiteral("Export/")),
      fClock(clock) {}

QDateTime TDayEnd::now() const {
    return (fClock ? *fClock : Clock::instance()).now();
}

void TDayEnd::Tick(bool atRest, const TMaintenanceView& view) {
    if (fHoldOff != 0) {
        --fHoldOff;
        return;
    }
    if (!atRest) return;
    try {
        DayEndCheck(view);
    } catch (const std::exception& e) {
        // The kiosk carries on; the check comes again on a later tick.
        WriteLog(QStringLiteral("Day end: ") + QString::fromUtf8(e.what()), 0);
    }
}

void TDayEnd::DayEndCheck(const TMaintenanceView& view) {
    q.close();
    q.setSQL(QStringLiteral("select DAY_END from TBL_SETUP"));
    q.open();
    const QTime dayEnd = q.eof() || q.field(0).isNull() ? QTime(0, 0) : q.field(0).toTime();
    const QDateTime boundary = DayEndBoundary(dayEnd, now());

    q.close();
    q.setSQL(QStringLiteral(
        "select count(*) from TBL_DAY_ENDS\r\n  where DAY_END is null and DAY_START < :D1"));
    q.bind(QStringLiteral("D1"), boundary);
    q.open();
    // A card payment not yet settled holds the day end, as a sale in progress does: its sale
    // is neither voided nor exported until the terminal has said what became of it.
    const bool due = q.field(0).toInt() > 0 && !holdForUnsettledPayments();
    q.close();
    if (due) {
        // The screen comes back whatever happens: never left disabled after a failure.
        try {
            if (view.begin) view.begin();
            fHoldOff = DayEndHoldOffTicks;
            CloseDayEnds(boundary);
        } catch (...) {
            if (view.end) view.end();
            throw;
        }
        if (view.end) view.end();
    }
    OpenNextDay();
}

bool TDayEnd::holdForUnsettledPayments() {
    const qsizetype unsettled = TPaymentJournal(fConx).unsettled().size();
    if (unsettled > 0 && !fHeldForPayments)
        WriteLog(QStringLiteral("Day end waits: %1 card payment(s) not yet settled").arg(unsettled),
                 0);
    fHeldForPayments = unsettled > 0;
    return fHeldForPayments;
}

void TDayEnd::CloseDayEnds(const QDateTime& boundary) {
    PurgeSales(true);
    for (;;) {
        q.close();
        q.setSQL(QStringLiteral(
            "select DAY_END_ID from TBL_DAY_ENDS where DAY_END is null and DAY_START < :D1\r\n"
            " order by DAY_START"));
        q.bind(QStringLiteral("D1"), boundary);
        q.open();
        const int dayEndId = q.eof() ? 0 : q.field(0).toInt();
        q.close();
        if (dayEndId == 0) return;
        if (!ExportDayEnd(dayEndId, now(), boundary)) return;
        q.setSQL(QStringLiteral(
            "update TBL_DAY_ENDS set DAY_END = :D1 where DAY_END is null and DAY_START < :D1"));
        q.bind(QStringLiteral("D1"), boundary);
        q.execSQL();
        q.close();
        // Test mode gives goods away: it never outlives the day it was set on.
        EndTestModeAtDayEnd(fConx);
    }
}

bool TDayEnd::ExportDayEnd(int dayEndId, const QDateTime& exportTime, const QDateTime& boundary) {
    const QString fileName = DayEndExportFileName(fExportFolder, dayEndId);
    try {
        QSaveFile file(fileName);
        QSaveFile ageFile(AgeExportFileName(fExportFolder, dayEndId));
        QSaveFile paymentsFile(PaymentExportFileName(fExportFolder, dayEndId));
        QSaveFile stopsFile(StopExportFileName(fExportFolder, dayEndId));
        if (!QDir(fExportFolder).exists())
            throw std::runtime_error("The export folder does not exist");
        for (QSaveFile* f : {&file, &ageFile, &paymentsFile, &stopsFile})
            if (!f->open(QIODevice::WriteOnly))
                throw std::runtime_error(f->errorString().toStdString());
        const QDateTime start = dayStart(dayEndId);
        writeExport(file, dayEndId, start, exportTime, boundary);
        WriteAgeChecksExport(q, ageFile, start, boundary);
        WritePaymentsExport(q, paymentsFile, start, boundary);
        WriteStopsExport(q, stopsFile, start, boundary);
        // Written, flushed to disk and only then renamed into place; the day file, which the
        // back office waits for, comes last.
        CommitExportFiles({&ageFile, &paymentsFile, &stopsFile, &file});
        return true;
    } catch (const std::exception& e) {
        q.close();
        WriteLog(QStringLiteral("Day end export of %1 failed: %2")
                     .arg(fileName, QString::fromUtf8(e.what())),
                 0);
        return false;
    }
}

QDateTime TDayEnd::dayStart(int dayEndId) {
    q.close();
    q.setSQL(QStringLiteral("select DAY_START from TBL_DAY_ENDS where DAY_END_ID = :DEID"));
    q.bind(QStringLiteral("DEID"), dayEndId);
    q.open();
    if (q.eof()) throw std::runtime_error("No trading day " + std::to_string(dayEndId));
    const QDateTime start = q.field(0).toDateTime();
    q.close();
    return start;
}

void TDayEnd::writeExport(QIODevice& file, int dayEndId, const QDateTime& dayStart,
                          const QDateTime& exportTime, const QDateTime& boundary) {
    QByteArray out;
    out.append("00,");
    out.append(QByteArray::number(dayEndId));
    out.append(',');
    AppendNumber(out, DateTimeToDayNumber(dayStart));
    out.append(',');
    AppendNumber(out, DateTimeToDayNumber(exportTime));
    out.append("\r\n");

    fb::Query sales(fConx);
    fb::Query lines(fConx);
    fb::Query hits(fConx);
    Open(sales, HeadersSql, dayStart, boundary);
    Open(lines, LinesSql, dayStart, boundary);
    Open(hits, HitsSql, dayStart, boundary);
    const auto write = [&] {
        if (file.write(out) != out.size())
            throw std::runtime_error(file.errorString().toStdString());
        out.clear();
    };
    for (; !sales.eof(); sales.next()) {
        const qint64 salesId = sales.field(0).toInt64();
        AppendRecord(out, "01", sales, 0, HeaderFields);
        for (; !lines.eof() && lines.field(0).toInt64() == salesId; lines.next())
            AppendRecord(out, "02", lines, 1, LineFields);
        for (; !hits.eof() && hits.field(0).toInt64() == salesId; hits.next())
            AppendRecord(out, "03", hits, 1, HitFields);
        if (out.size() > 1 << 16) write();
    }
    out.append("09\r\n");
    write();
}

void TDayEnd::PurgeSales(bool dayEnd) {
    const QDateTime current = now();
    const int keepDays = DefaultKeepPeriod(fConx);
    const QDateTime cutoff(current.date().addDays(-keepDays), QTime(0, 0));

    // An open sale with a card payment on record is finished, not voided: its customer was
    // charged. One whose payment is unsettled waits for the terminal's answer.
    const QString settled = QStringLiteral(" and ") + TPaymentJournal::NoUnsettledAttempt("h");
    const QString stale = dayEnd ? QString() : QStringLiteral(" and h.SALE_START < :D1");
    const QString paid =
        QStringLiteral("exists (select 1 from TBL_SALES_PAYMENTS p where p.SALES_ID = h.SALES_ID)");
    q.close();
    for (const QString& sql :
         {QStringLiteral("update TBL_SALES_HEADERS h\r\n set SALE_END = 'now'\r\n"
                         " where h.SALE_END is null and ") +
              paid + stale + settled,
          QStringLiteral("update TBL_SALES_HEADERS h\r\n set STATUS = 20, SALE_END = 'now'\r\n"
                         " where h.SALE_END is null and not ") +
              paid + stale + settled}) {
        q.setSQL(sql);
        if (!dayEnd) q.bind(QStringLiteral("D1"), current.addSecs(-60 * OpenSaleMinutes));
        q.execSQL();
    }

    // A day not yet exported keeps its sales, however old: they have not reached the back office.
    q.setSQL(QStringLiteral("select min(DAY_START) from TBL_DAY_ENDS where DAY_END is null"));
    q.open();
    const QDateTime oldestOpen = q.field(0).isNull() ? QDateTime() : q.field(0).toDateTime();
    q.close();
    const QDateTime salesCutoff = oldestOpen.isValid() && oldestOpen < cutoff ? oldestOpen : cutoff;

    q.setSQL(QStringLiteral("delete from TBL_SALES_HEADERS h where h.SALE_START < :D1 and ") +
             TPaymentJournal::NoUnsettledAttempt("h"));
    q.bind(QStringLiteral("D1"), salesCutoff);
    q.execSQL();
    q.setSQL(
        QStringLiteral("delete from TBL_AGE_CHECKS where SALES_ID is null and CHECK_TIME < :D1"));
    q.bind(QStringLiteral("D1"), salesCutoff);
    q.execSQL();
    q.setSQL(QStringLiteral("delete from TBL_STOPS where SALES_ID is null and STOP_TIME < :D1"));
    q.bind(QStringLiteral("D1"), salesCutoff);
    q.execSQL();
    q.setSQL(QStringLiteral("delete from TBL_DAY_ENDS where DAY_END < :D1"));
    q.bind(QStringLiteral("D1"), cutoff);
    q.execSQL();
    q.close();
}

void TDayEnd::OpenNextDay() {
    q.close();
    q.setSQL(QStringLiteral("select count(*) from TBL_DAY_ENDS where DAY_END is null"));
    q.open();
    const bool anyOpen = q.field(0).toInt() > 0;
    q.close();
    if (anyOpen) return;
    q.setSQL(QStringLiteral("select max(DAY_END) from TBL_DAY_ENDS"));
    q.open();
    QDateTime start = q.field(0).isNull() ? QDateTime() : q.field(0).toDateTime();
    q.close();
    if (!start.isValid() || start.date() < EarliestDayStart) start = now();
    q.setSQL(QStringLiteral("insert into TBL_DAY_ENDS (DAY_START) values (:D1)"));
    q.bind(QStringLiteral("D1"), start);
    q.execSQL();
    q.close();
}
