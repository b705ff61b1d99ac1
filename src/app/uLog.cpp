#include "app/uLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <optional>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "app/uTX32Reg.h"
#include "app/uText.h"

using namespace Qt::StringLiterals;

namespace {

// Continuation lines of a message in the weekly file start under the message text.
const QString ContinuationIndent(18, u' ');

QString logFolder() {
    const QString folder = qEnvironmentVariable("KIOSK_LOG_FOLDER");
    if (!folder.isEmpty()) return IncludeSlash(folder, true);
    return IncludeSlash(QFileInfo(ModuleFileName()).absolutePath() + u"/logs"_s, true);
}

QString twoDigits(int number) {
    return PadLeft(QString::number(number), 2);
}

// Line breaks of any platform become CR LF.
QString withCrLf(QString text) {
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return text.replace(u"\n"_s, u"\r\n"_s);
}

bool appendText(const QString& fileName, const QString& text) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const bool written = file.write(text.toUtf8()) >= 0;
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

// A name without "_" is given the calendar year and the ISO week in place of its extension.
QString namedLogFile(const QString& name, const QDate& today) {
    QString fileName = name;
    if (!fileName.contains(u'_')) {
        const qsizetype dot = fileName.lastIndexOf(u'.');
        if (dot > fileName.lastIndexOf(u'/')) fileName.truncate(dot);
        fileName += u'_' + PadLeft(QString::number(today.year()), 4) + u'_' +
                    twoDigits(today.weekNumber()) + u".log"_s;
    }
    return logFolder() + fileName;
}

bool writeNamed(const QString& fileName, const QString& message) {
    const QDateTime now = Clock::instance().now();
    const QString text = withCrLf(message);
    const QString stamp = now.toString(u"yyMMdd HHmmss"_s) + u": "_s;
    return appendText(namedLogFile(fileName, now.date()),
                      stamp + (text.contains(u'\r') ? u"\r\n"_s : QString()) + text + u"\r\n"_s);
}

}  // namespace

CLog::CLog() {
    QFile file(LogFileName());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.close();
}

CLog& CLog::instance() {
    static CLog log;
    return log;
}

QString CLog::LogFileName() const {
    int isoYear = 0;
    const int week = Clock::instance().now().date().weekNumber(&isoYear);
    return logFolder() + QFileInfo(ModuleFileName()).completeBaseName() + u'_' +
           PadLeft(QString::number(isoYear), 4) + u'_' + twoDigits(week) + u".log"_s;
}

bool CLog::logMessage(const QString& message) const noexcept {
    try {
        const QString text =
            withCrLf(message).replace(u"\r\n"_s, u"\r\n"_s + ContinuationIndent).trimmed();
        const QString stamp = Clock::instance().now().toString(u"yy-MM-dd HH:mm:ss"_s);
        return appendText(LogFileName(), stamp + u' ' + text + u"\r\n"_s);
    } catch (...) {
        return false;
    }
}

bool WriteLog(const QString& message, int level, const QString& fileName) noexcept {
    try {
        const CLog& log = CLog::instance();
        std::optional<int> debugLevel;
        try {
            // Without waiting: another program holding the settings store must not freeze
            // the screen that logs.
            debugLevel = TTX32Reg(std::chrono::milliseconds::zero())
                             .ReadInteger(u"Debug"_s, u"DebugLevel"_s, 0);
        } catch (const std::exception&) {
            // An unreadable setting must not cost us the error messages: level 0 still goes out.
        }
        if (level != 0) {
            if (!debugLevel) return false;
            if ((level & *debugLevel) != level) return true;
        }
        return fileName.isEmpty() ? log.logMessage(message) : writeNamed(fileName, message);
    } catch (...) {
        return false;
    }
}
