#include "support/FileHolder.h"

#include <unistd.h>

#include <climits>
#include <stdexcept>

FileHolder::FileHolder(const QString& path) {
    process_.setChildProcessModifier([] { ::close_range(3, UINT_MAX, 0); });
    process_.start(QStringLiteral("sh"),
                   {QStringLiteral("-c"), QStringLiteral("exec 3<\"$1\"; echo ready; sleep 60"),
                    QStringLiteral("sh"), path});
    if (!process_.waitForReadyRead(5000)) throw std::runtime_error("The file holder did not start");
}

FileHolder::~FileHolder() {
    process_.kill();
    process_.waitForFinished();
}
