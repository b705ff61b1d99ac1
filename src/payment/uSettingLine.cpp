#include "payment/uSettingLine.h"

#include <stdexcept>

void TSettingLine::fail(const QString& what) const {
    throw std::runtime_error(
        QStringLiteral("%1 %2, line %3: %4").arg(file, path).arg(line).arg(what).toStdString());
}

bool TSettingLine::toBool(const QString& key, const QString& value) const {
    const QString v = value.toLower();
    if (v == u"true" || v == u"yes" || v == u"1") return true;
    if (v == u"false" || v == u"no" || v == u"0") return false;
    fail(QStringLiteral("%1 must be true or false, not \"%2\"").arg(key, value));
}

int TSettingLine::toInt(const QString& key, const QString& value) const {
    bool ok = false;
    const int result = value.toInt(&ok);
    if (!ok) fail(QStringLiteral("%1 must be a whole number, not \"%2\"").arg(key, value));
    return result;
}
