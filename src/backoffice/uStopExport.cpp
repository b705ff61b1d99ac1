#include "backoffice/uStopExport.h"

#include <QIODevice>
#include <stdexcept>

#include "app/uText.h"
#include "backoffice/uDayEnd.h"

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
    q.close();
    q.setSQL(StopsSql);
    q.bind(QStringLiteral("D1"), from);
    q.bind(QStringLiteral("D2"), to);
    QByteArray out;
    for (q.open(); !q.eof(); q.next()) {
        out.append("ST,");
        out.append(ExportWholeOrEmpty(q.field(0)) + ',');
        out.append(ExportWholeOrEmpty(q.field(1)) + ',');
        out.append(ExportText(q.field(2).toString()).toUtf8() + ',');
        out.append(ExportText(q.field(3).toString()).toUtf8() + ',');
        out.append(ExportNumber(DateTimeToDayNumber(q.field(4).toDateTime())).toLatin1() + ',');
        out.append(ExportText(q.field(5).toString()).toUtf8());
        out.append("\r\n");
    }
    q.close();
    if (file.write(out) != out.size()) throw std::runtime_error(file.errorString().toStdString());
}
