#include "ui/wg_Style.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyleFactory>

#include "ui/wg_Palettes.h"

// Resources compiled into a static library are only linked in when something names them.
static void InitKioskResources() {
    Q_INIT_RESOURCE(kiosk);
}

QString StyleSheetText(const QString& path) {
    InitKioskResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString sheet = QString::fromUtf8(file.readAll());
    return file.error() == QFileDevice::NoError ? sheet : QString();
}

bool ApplyKioskStyle(QApplication& app) {
    return ApplyStyleSheetFile(app, KioskStylePath);
}

bool ApplyStyleSheetFile(QApplication& app, const QString& path) {
    const QString sheet = StyleSheetText(path);
    if (sheet.trimmed().isEmpty()) return false;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    app.setPalette(StandardPalette());
    app.setStyleSheet(sheet);
    return true;
}
