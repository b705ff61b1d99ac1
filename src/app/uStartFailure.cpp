#include "app/uStartFailure.h"

#include <cstdio>

#include "app/uLog.h"
#include "app/uServiceNotify.h"
#include "db/fbError.h"

void TStartFailure::report(const QString& reason) noexcept {
    if (reported() || reason.isEmpty()) return;
    try {
        reason_ = reason;
        WriteLog(reason, 0);
        std::fprintf(stderr, "KPSelfServ: %s\n", qUtf8Printable(reason));
        std::fflush(stderr);
        NotifyServiceManager("STATUS=" + reason.toUtf8());
    } catch (...) {
        // The exit status still tells the service manager that the start failed.
    }
}

QString StartFailureReason(const QString& what, const std::exception& error) {
    QString message = QString::fromUtf8(error.what()).simplified();
    const auto* engineError = dynamic_cast<const fb::Error*>(&error);
    // Without its engine plugin the client library can reach no database file at all.
    if (engineError && engineError->isEngineUnavailable())
        return QStringLiteral(
                   "Cannot start: the Firebird database engine is not available (is "
                   "firebird3.0-server-core installed?): %1")
            .arg(message);
    return QStringLiteral("Cannot start: %1: %2").arg(what, message);
}
