#include "ui/wg_LargeText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/wg_AccessModes.h"
#include "ui/wg_Palettes.h"
#include "ui/wg_Style.h"

namespace {

// What a widget keeps while the mode is on: its standard font and the size it shows, and its
// own style sheet.
const char* const StandardFontKey = "kioskStandardFont";
const char* const ShownPixelsKey = "kioskShownFontSize";
const char* const StandardSheetKey = "kioskStandardSheet";
// A caption broken to fit, the caption it was given, and a label that was made to wrap.
const char* const FittedCaptionKey = "kioskFittedCaption";
const char* const GivenCaptionKey = "kioskGivenCaption";
const char* const GivenStyleKey = "kioskGivenToolButtonStyle";
const char* const WrappedKey = "kioskWrapped";

// The caption broken between words into lines no wider than width; a word wider than the
// width keeps a line of its own.
QString BrokenCaption(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    for (const QString& word : text.simplified().split(u' ', Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.back() + u' ' + word) <= width)
            lines.back() += u' ' + word;
        else
            lines << word;
    }
    return lines.join(u'\n');
}

int TextWidth(const QString& text, const QFontMetrics& metrics) {
    int width = 0;
    for (const QString& line : text.split(u'\n'))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

// A widget whose own font fixes its size; others take the size of their parent.
bool OwnsFontSize(const QWidget& widget) {
    return widget.testAttribute(Qt::WA_SetFont) &&
           (widget.font().resolveMask() & QFont::SizeResolved) != 0;
}

int ShownSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : int(std::lround(font.pointSizeF() * 100));
}

}  // namespace

TLargeText& TLargeText::instance() {
    static TLargeText* look = new TLargeText;  // lives as long as the application's widgets
    return *look;
}

TLargeText::TLargeText() {
    qApp->installEventFilter(this);
    connect(&TAccessModes::instance(), &TAccessModes::largeTextChanged, this, &TLargeText::apply);
    if (TAccessModes::instance().largeText()) apply(true);
}

QFont TLargeText::shown(const QFont& standard) {
    if (!instance().fOn) return standard;
    QFont font = standard;
    if (standard.pixelSize() > 0)
        font.setPixelSize(int(std::ceil(standard.pixelSize() * Scale)));
    else
        font.setPointSizeF(standard.pointSizeF() * Scale);
    return font;
}

QFont TLargeText::standardFont(const QWidget& widget) {
    const QVariant standard = widget.property(StandardFontKey);
    return standard.isValid() ? standard.value<QFont>() : widget.font();
}

// Under a style sheet a widget takes its parent's font only as it is polished, not when the
// parent's font changes later. So every widget the mode finds gets its enlarged font itself,
// each from its standard font as the mode found it, and its standard font back at the end.
void TLargeText::apply(bool on) {
    if (fOn == on) return;
    const QScopedValueRollback changing(fChanging, true);
    const QWidgetList widgets = QApplication::allWidgets();
    if (on) {
        fStandardPalette = QApplication::palette();
        fStandardSheet = qApp->styleSheet();
        fOn = true;
        // Taken before the sheet changes: polishing under a new sheet loses inherited fonts.
        std::vector<std::pair<QWidget*, QFont>> standard;
        // A widget not yet polished has no font of its parent yet: it is taken in as it shows.
        for (QWidget* widget : widgets)
            if (widget->testAttribute(Qt::WA_WState_Polished))
                standard.emplace_back(widget, widget->font());
        QApplication::setPalette(HighContrastPalette());
        qApp->setStyleSheet(HighContrastStyleSheet());
        for (const auto& [widget, font] : standard) enlarge(*widget, font);
        for (const auto& [widget, font] : standard) fit(*widget);
    } else {
        fOn = false;
        // The fonts after the sheet, which polishes every widget afresh.
        QApplication::setPalette(fStandardPalette);
        qApp->setStyleSheet(fStandardSheet);
        for (QWidget* widget : widgets) restore(*widget);
        for (QWidget* widget : widgets) unfit(*widget);
    }
    emit applied(on);
}

void TLargeText::takeOwnSheet(QWidget& widget) {
    // A sheet of its own while the mode is on is one the screen set: it shows again later.
    if (widget.styleSheet().isEmpty()) return;
    widget.setProperty(StandardSheetKey, widget.styleSheet());
    widget.setStyleSheet(QString());
}

void TLargeText::enlarge(QWidget& widget, const QFont& standard) {
    takeOwnSheet(widget);
    if (widget.property(StandardFontKey).isValid()) return;
    const QFont large = shown(standard);
    widget.setProperty(StandardFontKey, standard);
    widget.setProperty(ShownPixelsKey, ShownSize(large));
    widget.setFont(large);
}

// A widget built while the mode is on: one with a font of its own shows it enlarged; one that
// took its font from an enlarged parent as it was polished keeps it, with the parent's standard.
void TLargeText::adopt(QWidget& widget) {
    takeOwnSheet(widget);
    if (widget.property(StandardFontKey).isValid()) return fit(widget);
    const QWidget* parent = widget.parentWidget();
    const QVariant parentStandard =
        parent && !widget.isWindow() ? parent->property(StandardFontKey) : QVariant();
    if (OwnsFontSize(widget) || !parentStandard.isValid()) {
        enlarge(widget, widget.font());
    } else {
        widget.setProperty(StandardFontKey, parentStandard);
        widget.setProperty(ShownPixelsKey, ShownSize(parent->font()));
        widget.setFont(parent->font());
    }
    fit(widget);
}

void TLargeText::fit(QWidget& widget) {
    if (auto* key = qobject_cast<QAbstractButton*>(&widget)) fitCaption(*key);
    if (auto* label = qobject_cast<QLabel*>(&widget)) fitLabel(*label);
}

void TLargeText::restore(QWidget& widget) {
    const QVariant sheet = widget.property(StandardSheetKey);
    if (sheet.isValid()) {
        widget.setProperty(StandardSheetKey, QVariant());
        widget.setStyleSheet(sheet.toString());
    }
    const QVariant standard = widget.property(StandardFontKey);
    if (!standard.isValid()) return;
    widget.setProperty(StandardFontKey, QVariant());
    widget.setProperty(ShownPixelsKey, QVariant());
    widget.setFont(standard.value<QFont>());
}

// A screen that sets a widget's font while the mode is on sets a standard font: it is kept and
// shown enlarged.
void TLargeText::fontChanged(QWidget& widget) {
    const QVariant shownSize = widget.property(ShownPixelsKey);
    if (!shownSize.isValid() || ShownSize(widget.font()) == shownSize.toInt()) return;
    widget.setProperty(StandardFontKey, QVariant());
    enlarge(widget, widget.font());
}

QString TLargeText::caption(const QAbstractButton& key) {
    const QVariant fitted = key.property(FittedCaptionKey);
    return fitted.isValid() && fitted.toString() == key.text()
               ? key.property(GivenCaptionKey).toString()
               : key.text();
}

void TLargeText::fitCaption(QAbstractButton& key) {
    const QString given = caption(key);
    auto* tool = qobject_cast<QToolButton*>(&key);
    const QVariant givenStyle = key.property(GivenStyleKey);
    Qt::ToolButtonStyle style = givenStyle.isValid()
                                    ? Qt::ToolButtonStyle(givenStyle.toInt())
                                    : (tool ? tool->toolButtonStyle() : Qt::ToolButtonTextOnly);
    QString shown = given;
    if (instance().fOn && !given.isEmpty()) {
        // The room a caption has inside the key's edges.
        const int room = key.width() - 12;
        const QFontMetrics metrics(key.font());
        if (TextWidth(given, metrics) > room) {
            shown = BrokenCaption(given, metrics, room);
            const int lines = int(shown.count(u'\n')) + 1;
            const bool pictured = style != Qt::ToolButtonTextOnly && !key.icon().isNull();
            if (tool && pictured &&
                lines * metrics.lineSpacing() + key.iconSize().height() > key.height() - 8) {
                key.setProperty(GivenStyleKey, int(style));
                style = Qt::ToolButtonTextOnly;
            }
        }
        key.setProperty(GivenCaptionKey, given);
        key.setProperty(FittedCaptionKey, shown);
    } else {
        key.setProperty(FittedCaptionKey, QVariant());
    }
    if (tool) tool->setToolButtonStyle(style);
    if (key.text() != shown) key.setText(shown);
}

void TLargeText::fitLabel(QLabel& label) {
    if (label.wordWrap() || label.text().isEmpty() || !label.pixmap().isNull()) return;
    if (TextWidth(label.text(), label.fontMetrics()) <= label.contentsRect().width()) return;
    label.setProperty(WrappedKey, true);
    label.setWordWrap(true);
}

void TLargeText::unfit(QWidget& widget) {
    if (auto* key = qobject_cast<QAbstractButton*>(&widget);
        key && key->property(FittedCaptionKey).isValid()) {
        fitCaption(*key);
        key->setProperty(GivenCaptionKey, QVariant());
        key->setProperty(GivenStyleKey, QVariant());
    }
    if (widget.property(WrappedKey).isValid()) {
        widget.setProperty(WrappedKey, QVariant());
        static_cast<QLabel&>(widget).setWordWrap(false);
    }
}

bool TLargeText::eventFilter(QObject* watched, QEvent* event) {
    if (!fOn || fChanging || !watched->isWidgetType()) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::FontChange && type != QEvent::StyleChange &&
        type != QEvent::Resize)
        return false;
    auto& widget = static_cast<QWidget&>(*watched);
    const QScopedValueRollback changing(fChanging, true);
    if (type == QEvent::FontChange)
        fontChanged(widget);
    else if (type == QEvent::Resize)
        fit(widget);
    else
        adopt(widget);
    return false;
}
