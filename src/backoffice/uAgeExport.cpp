#include "backoffice/uAgeExport.h"

#include <QIODevice>
#include <stdexcept>

#include "app/uText.h"
#include "backoffice/uDayEnd.h"

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
    q.close();
    q.setSQL(AgeChecksSql);
    q.bind(QStringLiteral("D1"), from);
    q.bind(QStringLiteral("D2"), to);
    QByteArray out;
    for (q.open(); !q.eof(); q.next()) {
        out.append("AG,");
        out.append(ExportWholeOrEmpty(q.field(0)) + ',');
        out.append(ExportWholeOrEmpty(q.field(1)) + ',');
        out.append(ExportWholeOrEmpty(q.field(2)) + ',');
        out.append(ExportWholeOrEmpty(q.field(3)) + ',');
        out.append(ExportNumber(DateTimeToDayNumber(q.field(4).toDateTime())).toLatin1() + ',');
        out.append(ExportText(q.field(5).toString()).toUtf8());
        out.append("\r\n");
    }
    q.close();
    if (file.write(out) != out.size()) throw std::runtime_error(file.errorString().toStdString());
}
