#include "support/RfbClient.h"

#include <QPoint>
#include <QtEndian>

namespace {
constexpr int kReadTimeoutMs = 10000;

QByteArray pointerEvent(quint8 buttons, const QPoint& point) {
    QByteArray event(6, '\0');
    event[0] = 5;
    event[1] = static_cast<char>(buttons);
    qToBigEndian<quint16>(point.x(), event.data() + 2);
    qToBigEndian<quint16>(point.y(), event.data() + 4);
    return event;
}
}  // namespace

bool RfbClient::connectTo(quint16 port, int timeoutMs) {
    socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket_.waitForConnected(timeoutMs) && exchangeVersions();
}

bool RfbClient::connectToSocket(const QString& path, int timeoutMs) {
    device_ = &local_;
    local_.connectToServer(path);
    return local_.waitForConnected(timeoutMs) && exchangeVersions();
}

bool RfbClient::exchangeVersions() {
    const QByteArray version = read(12);
    if (!version.startsWith("RFB 003.")) return false;
    write("RFB 003.008\n");
    const QByteArray count = read(1);
    if (count.isEmpty() || count[0] == 0) return false;
    for (const char type : read(static_cast<quint8>(count[0])))
        securityTypes_.append(static_cast<quint8>(type));
    return true;
}

QSize RfbClient::joinWithoutAuthentication() {
    write(QByteArray(1, static_cast<char>(None)));
    const QByteArray result = read(4);
    if (result.size() != 4 || qFromBigEndian<quint32>(result.constData()) != 0) return {};
    write(QByteArray(1, '\1'));  // shared: others may watch too
    const QByteArray init = read(24);
    if (init.size() != 24) return {};
    read(qFromBigEndian<quint32>(init.constData() + 20));  // the desktop's name
    return {qFromBigEndian<quint16>(init.constData()),
            qFromBigEndian<quint16>(init.constData() + 2)};
}

void RfbClient::click(const QPoint& point) {
    write(pointerEvent(0, point));
    write(pointerEvent(1, point));
    write(pointerEvent(0, point));
}

QByteArray RfbClient::read(qint64 size) {
    QByteArray data;
    while (data.size() < size) {
        if (device_->bytesAvailable() == 0 && !device_->waitForReadyRead(kReadTimeoutMs)) break;
        data += device_->read(size - data.size());
    }
    return data;
}

void RfbClient::write(const QByteArray& data) {
    device_->write(data);
    device_->waitForBytesWritten(kReadTimeoutMs);
}
