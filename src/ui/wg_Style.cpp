#include "ui/wg_Style.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyleFactory>

// Resources compiled into a static library are only linked in when something names them.
static void InitKioskResources() {
    Q_INIT_RESOURCE(kiosk);
}

namespace {

// The colours the style sheet is drawn around; dialogs and panels take their faces from here.
QPalette LightSlatePalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(233, 238, 245));
    palette.setColor(QPalette::Button, QColor(233, 238, 245));
    palette.setColor(QPalette::WindowText, QColor(28, 38, 54));
    palette.setColor(QPalette::ButtonText, QColor(28, 38, 54));
    palette.setColor(QPalette::Text, QColor(28, 38, 54));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(243, 246, 250));
    palette.setColor(QPalette::Highlight, QColor(74, 111, 165));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(214, 222, 233));
    palette.setColor(QPalette::Mid, QColor(160, 174, 194));
    palette.setColor(QPalette::Dark, QColor(112, 128, 152));
    palette.setColor(QPalette::Shadow, QColor(58, 70, 90));
    return palette;
}

}  // namespace

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
    app.setPalette(LightSlatePalette());
    app.setStyleSheet(sheet);
    return true;
}
