#include "backoffice/uAgeExport.h"

#include "backoffice/uExportFile.h"

namespace {

const QString AgeChecksSql = QStringLiteral(
    "select SALES_ID, SID, REQUIRED_AGE, USER_ID, CHECK_TIME, OUTCOME from TBL_AGE_CHECKS\r\n"
    " where CHECK_TIME >= :D1 and CHECK_TIME < :D2\r\n"
    " order by AGE_CHECK_ID");

}  // namespace

QString AgeExportFileName(const QString& exportFolder, int dayEndId) {
    return DayEndSideFileName(exportFolder, dayEndId, QStringLiteral("age"));
}

QString AgeChecksExportStatement() {
    return AgeChecksSql;
}

void WriteAgeChecksExport(fb::Query& q, QIODevice& file, const QDateTime& from,
                          const QDateTime& to) {
    WriteExportRecords(q, file, AgeChecksSql, from, to, [](QByteArray& out, fb::Query& row) {
        AppendExportRecord(out, {"AG", WholeOrEmpty(row.field(0)), WholeOrEmpty(row.field(1)),
                                 WholeOrEmpty(row.field(2)), WholeOrEmpty(row.field(3)),
                                 DayNumberField(row.field(4)), TextField(row.field(5))});
    });
}
