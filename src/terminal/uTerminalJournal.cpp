#include "terminal/uTerminalJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUuid>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

// A new file's name is only durable once its folder is synced too.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

qint64 Counter(const QString& transactionId) {
    const qsizetype dash = transactionId.lastIndexOf(u'-');
    return transactionId.mid(dash + 1).toLongLong();
}

}  // namespace

TTerminalJournal::TTerminalJournal(const QString& path,
                                   const std::function<void(const QString&)>& warn)
    : file_(path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) Fail(QStringLiteral("Cannot create the folder %1").arg(folder));
    const bool created = !file_.exists();
    if (!file_.open(QIODevice::ReadWrite))
        Fail(QStringLiteral("Cannot open the terminal journal %1: %2")
                 .arg(path, file_.errorString()));
    if (created) SyncFolder(folder);
    // Two terminals on one journal would hand out the same transaction ids. The lock goes with
    // the file's descriptor, also when the process is killed.
    if (::flock(file_.handle(), LOCK_EX | LOCK_NB) != 0)
        Fail(QStringLiteral("The terminal journal %1 is in use by another terminal").arg(path));
    read(warn);
    if (journalId_.isEmpty())
        append({{QStringLiteral("Record"), QStringLiteral("Journal")},
                {QStringLiteral("JournalId"), QUuid::createUuid().toString(QUuid::WithoutBraces)}});
}

void TTerminalJournal::read(const std::function<void(const QString&)>& warn) {
    const QByteArray content = file_.readAll();
    qsizetype start = 0;
    for (int number = 1; start < content.size(); ++number) {
        const qsizetype end = content.indexOf('\n', start);
        const bool last = end < 0 || end == content.size() - 1;
        const QByteArray line = content.mid(start, end < 0 ? -1 : end - start);
        if (line.trimmed().isEmpty()) {
            start = end < 0 ? content.size() : end + 1;
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            if (!last)
                Fail(QStringLiteral("The terminal journal %1 is damaged at line %2: %3")
                         .arg(file_.fileName())
                         .arg(number)
                         .arg(error.errorString()));
            // Cut off, so the next record starts on a line of its own.
            warn(QStringLiteral("The last line of the terminal journal %1 was cut short and is "
                                "ignored: %2")
                     .arg(file_.fileName(), QString::fromUtf8(line.left(200))));
            if (!file_.resize(start))
                Fail(QStringLiteral("Cannot cut the torn line off %1: %2")
                         .arg(file_.fileName(), file_.errorString()));
            break;
        }
        index(document.object());
        start = end < 0 ? content.size() : end + 1;
    }
    file_.seek(file_.size());
}

void TTerminalJournal::index(const QJsonObject& record) {
    const QString saleId = record.value(u"SaleTransactionID").toString();
    const QString kind = record.value(u"Record").toString();
    if (kind == u"Payment")
        payments_.insert(saleId, record);
    else if (kind == u"Reversal")
        reversals_.insert(saleId, record);
    else if (kind == u"Journal" && journalId_.isEmpty())
        journalId_ = record.value(u"JournalId").toString();
    lastCounter_ = std::max(lastCounter_, Counter(record.value(u"POITransactionID").toString()));
}

std::optional<QJsonObject> TTerminalJournal::payment(const QString& saleTransactionId) const {
    const auto it = payments_.constFind(saleTransactionId);
    if (it == payments_.cend()) return std::nullopt;
    return *it;
}

std::optional<QJsonObject> TTerminalJournal::reversal(const QString& saleTransactionId) const {
    const auto it = reversals_.constFind(saleTransactionId);
    if (it == reversals_.cend()) return std::nullopt;
    return *it;
}

void TTerminalJournal::append(const QJsonObject& record) {
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    const qint64 before = file_.size();
    if (file_.write(line) != line.size() || !file_.flush() || ::fsync(file_.handle()) != 0) {
        // A part of the line left behind would join the next record.
        file_.resize(before);
        file_.seek(before);
        Fail(QStringLiteral("Cannot write the terminal journal %1: %2")
                 .arg(file_.fileName(), file_.errorString()));
    }
    index(record);
}

QString TTerminalJournal::nextTransactionId(const QString& prefix) {
    return QStringLiteral("%1-%2").arg(prefix).arg(++lastCounter_, 6, 10, QChar(u'0'));
}
