#pragma once

#include <QFont>
#include <QObject>
#include <QPalette>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// The large text mode's look on every window of the kiosk: while TAccessModes::largeText() is
// on, every text shows 1.5 times its standard size on the high-contrast palette; off, every
// window has its standard fonts, palette and style sheets back exactly.
//
// The fonts the screens set stay the standard ones in their code: every widget's font is
// enlarged when the mode comes on, or when the widget is first shown while it is on
// (dialogs opened later, item keys built as they scroll into view), and the standard font is
// kept on the widget to go back to. A widget's own style sheet gives way to the high-contrast
// one while the mode is on.
class TLargeText : public QObject {
    Q_OBJECT
public:
    static constexpr double Scale = 1.5;

    // Installs the mode's look on the application (once) and returns it.
    static TLargeText& instance();

    bool on() const { return fOn; }

    // A standard font as the current mode shows it.
    static QFont shown(const QFont& standard);
    // The standard font of a widget: its own font when the mode is off.
    static QFont standardFont(const QWidget& widget);

    // Fits a key's caption to the key in the large text mode: a caption wider than the key is
    // broken between its words, and a tool key that then still lacks room drops its picture.
    // Off, the key has its own caption and picture back. Keys are fitted as they are shown and
    // resized; a screen that sets a caption while the mode is on calls this.
    static void fitCaption(QAbstractButton& key);
    // The caption a key was given, without the breaks the large text mode put in.
    static QString caption(const QAbstractButton& key);

signals:
    // Every window has taken the mode's look: screens adjust what fonts alone do not (wrapping,
    // pictures that make room for captions).
    void applied(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TLargeText();
    void apply(bool on);
    static void takeOwnSheet(QWidget& widget);
    void enlarge(QWidget& widget, const QFont& standard);
    void adopt(QWidget& widget);
    static void fit(QWidget& widget);
    void restore(QWidget& widget);
    void fontChanged(QWidget& widget);
    static void fitLabel(QLabel& label);
    static void unfit(QWidget& widget);

    bool fOn = false;
    bool fChanging = false;  // the mode itself sets the fonts, palettes and sheets
    QPalette fStandardPalette;
    QString fStandardSheet;
};
