#include "payment/uPaymentClient.h"

TPaymentClientError::TPaymentClientError(const QString& call, const QString& reason)
    : std::runtime_error(
          QStringLiteral("The payment terminal failed in %1: %2").arg(call, reason).toStdString()),
      call_(call) {}
