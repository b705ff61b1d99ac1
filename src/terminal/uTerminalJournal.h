#pragma once

#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

// The terminal's durable memory: one JSON object per line, appended, each line on the disk
// (flushed and fsync'd) before the answer it belongs to leaves. Three kinds of record, told by
// "Record": "Journal" (the journal's identity, made with the file), "Payment" (a decided payment
// with everything its answer carries) and "Reversal" (the refund of an approved payment).
//
// The file is read at start, so the terminal answers for transactions of its earlier runs. A
// torn last line (the process was killed while writing it) is cut off with a warning; a damaged
// line before it stops the start, since it means the file was changed by something else.
class TTerminalJournal {
public:
    // Opens or creates the file, with any missing folders. warn receives what was repaired. A
    // journal without an identity (a new one, or one of a terminal before identities) is given
    // one, which it keeps from then on.
    TTerminalJournal(const QString& path, const std::function<void(const QString&)>& warn);
    TTerminalJournal(const TTerminalJournal&) = delete;
    TTerminalJournal& operator=(const TTerminalJournal&) = delete;

    // The journal's identity: a UUID, the same for the life of the file. A kiosk told that a
    // payment is not found knows from it that the journal its payment went to was asked.
    const QString& journalId() const { return journalId_; }

    std::optional<QJsonObject> payment(const QString& saleTransactionId) const;
    std::optional<QJsonObject> reversal(const QString& saleTransactionId) const;

    // Writes the record and returns once it is on the disk; raises std::runtime_error when it
    // cannot be written.
    void append(const QJsonObject& record);

    // A POITransactionID no record of this journal holds: prefix, "-" and a counter above
    // every counter in the journal.
    QString nextTransactionId(const QString& prefix);

private:
    void read(const std::function<void(const QString&)>& warn);
    void index(const QJsonObject& record);

    QFile file_;
    QHash<QString, QJsonObject> payments_;
    QHash<QString, QJsonObject> reversals_;
    qint64 lastCounter_ = 0;
    QString journalId_;
};
