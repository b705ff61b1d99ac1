#include "ui/wg_Palettes.h"

QPalette StandardPalette() {
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

QPalette HighContrastPalette() {
    using namespace HighContrast;
    QPalette palette;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base,
                                     QPalette::AlternateBase, QPalette::Dark, QPalette::Shadow})
        palette.setColor(role, Background);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::BrightText,
                                     QPalette::Light, QPalette::Midlight})
        palette.setColor(role, Text);
    palette.setColor(QPalette::ButtonText, KeyText);
    palette.setColor(QPalette::Mid, Inactive);
    palette.setColor(QPalette::Highlight, Highlight);
    palette.setColor(QPalette::HighlightedText, HighlightedText);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, Inactive);
    return palette;
}
