#include "app/uLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <vector>

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

namespace {

// What a hive file is now: a change written by any program (a new file renamed over the hive,
// or an edit in place) gives another identity, size or time.
struct FileState {
    QString path;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileState of(const QString& path) {
        FileState state{path};
        struct stat info;
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) return state;
        state.exists = true;
        state.device = info.st_dev;
        state.inode = info.st_ino;
        state.size = info.st_size;
        state.modified = info.st_mtim;
        return state;
    }

    bool operator==(const FileState& other) const {
        return path == other.path && exists == other.exists && device == other.device &&
               inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The settings store's debug level as last read, kept while neither hive file changes, so that
// a line of the log costs two file states instead of parsing the hives.
class DebugLevelCache {
public:
    // Empty when the level cannot be read (then it is tried again on the next call).
    std::optional<int> level() {
        const std::lock_guard lock(mutex_);
        const std::vector<FileState> now = hiveStates();
        if (level_ && now == read_) return level_;
        level_ = readLevel();
        // Reading may have stored the missing level: what counts is the hives after the read.
        read_ = hiveStates();
        return level_;
    }

private:
    static std::vector<FileState> hiveStates() {
        std::vector<FileState> states;
        for (const QString& file : TTX32Reg::hiveFileNames()) states.push_back(FileState::of(file));
        return states;
    }

    static std::optional<int> readLevel() {
        try {
            // Without waiting: another program holding the settings store must not freeze
            // the screen that logs.
            return TTX32Reg(std::chrono::milliseconds::zero())
                .ReadInteger(u"Debug"_s, u"DebugLevel"_s, 0);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

    std::mutex mutex_;
    std::vector<FileState> read_;
    std::optional<int> level_;
};

}  // namespace

bool WriteLog(const QString& message, int level, const QString& fileName) noexcept {
    try {
        const CLog& log = CLog::instance();
        static DebugLevelCache debugLevels;
        // An unreadable setting must not cost us the error messages: level 0 still goes out.
        const std::optional<int> debugLevel = debugLevels.level();
        if (level != 0) {
            if (!debugLevel) return false;
            if ((level & *debugLevel) != level) return true;
        }
        return fileName.isEmpty() ? log.logMessage(message) : writeNamed(fileName, message);
    } catch (...) {
        return false;
    }
}
