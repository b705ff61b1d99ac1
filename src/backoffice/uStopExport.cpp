#include "backoffice/uStopExport.h"

#include "backoffice/uExportFile.h"

namespace {

const QString StopsSql = QStringLiteral(
    "select SALES_ID, SID, GTIN, BATCH, STOP_TIME, REASON from TBL_STOPS\r\n"
    " where STOP_TIME >= :D1 and STOP_TIME < :D2\r\n"
    " order by STOP_ID");

}  // namespace

QString StopExportFileName(const QString& exportFolder, int dayEndId) {
    return DayEndSideFileName(exportFolder, dayEndId, QStringLiteral("stop"));
}

void WriteStopsExport(fb::Query& q, QIODevice& file, const QDateTime& from, const QDateTime& to) {
    WriteExportRecords(q, file, StopsSql, from, to, [](QByteArray& out, fb::Query& row) {
        AppendExportRecord(out, {"ST", WholeOrEmpty(row.field(0)), WholeOrEmpty(row.field(1)),
                                 TextField(row.field(2)), TextField(row.field(3)),
                                 DayNumberField(row.field(4)), TextField(row.field(5))});
    });
}
