#pragma once

#include <QByteArray>

// Tells the service manager that started the program how it is doing, when it asked to be
// told ($NOTIFY_SOCKET): "READY=1" once the kiosk serves customers, "STOPPING=1" on the way
// out, "STATUS=..." for what it is busy with. Does nothing otherwise; never raises.
void NotifyServiceManager(const QByteArray& state) noexcept;
