#pragma once

#include <QString>

// The kiosk's diagnostic log: one text file per ISO week in the log folder, named after the
// program, e.g. logs/KPSelfServ_2024_07.log. The log folder is "logs/" beside the program, or
// $KIOSK_LOG_FOLDER when set. Files are UTF-8 with CR LF line ends, opened and closed for
// every message so that other programs may read them at any time.

// The single log writer of the process, created at first use.
class CLog {
public:
    static CLog& instance();

    // Full path of this week's file (ISO week and ISO week-numbering year of Clock::now()),
    // creating the log folder if it is missing.
    QString LogFileName() const;

    // Appends "yy-mm-dd hh:nn:ss message" to this week's file, the message trimmed and its
    // continuation lines indented under the message text. False when the line could not be
    // written; never raises.
    bool logMessage(const QString& message) const noexcept;

private:
    CLog();
};

// Logs a message of a level: a bit mask written when all its bits are set in the settings
// store's "Debug"/"DebugLevel" (read again whenever a hive file has changed since the last
// read; created as 0 when missing). Level 0
// (errors) is always written. With a file name the message goes to that file in the log
// folder instead; a name without "_" gets "_<calendar year>_<ISO week>.log" in place of its
// extension. Returns false when the message was due and was not written (a level other than 0
// is not written while DebugLevel cannot be read, e.g. when stored as text); never raises.
bool WriteLog(const QString& message, int level, const QString& fileName = {}) noexcept;
