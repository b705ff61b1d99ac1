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

bool ApplyKioskStyle(QApplication& app) {
    InitKioskResources();
    return ApplyStyleSheetFile(app, KioskStylePath);
}

bool ApplyStyleSheetFile(QApplication& app, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    const QString sheet = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError || sheet.trimmed().isEmpty()) return false;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    app.setPalette(StandardPalette());
    app.setStyleSheet(sheet);
    return true;
}
