#pragma once

#include <QColor>
#include <QDateTime>

#include "ui/fra_tile.h"

class QLabel;
class QToolButton;

inline constexpr int KioskBarHeight = 101;
// The bars' colour where the site has no branding colour.
inline const QColor KioskBarColour{0x24, 0x3b, 0x5e};

// The clock's text: "Tue, 5. Mar 2024, 14:07:09" in the regional day and month names.
QString ClockText(const QDateTime& now);

// The top bar of the main window: the site's name and the clock. A touch on it is reported by
// clicked().
class TfraTopBar : public TClickPanel {
    Q_OBJECT
public:
    explicit TfraTopBar(QWidget* parent = nullptr);

    void setSiteName(const QString& name);
    void setTime(const QString& text);
    // The bar's colour, with captions readable on it.
    void setBarColour(const QColor& colour);

private:
    // In the large text mode the clock goes under the site's name, and the bar grows to them.
    void largeTextApplied(bool on);

    QLabel* lbSiteName = nullptr;
    QLabel* lbTime = nullptr;
};

// The bottom bar under the pages: Assistance, the switches of speech and of large text, and the
// top-up and search pages. A touch on its background is reported by clicked().
class TfraBottomBar : public TClickPanel {
    Q_OBJECT
public:
    explicit TfraBottomBar(QWidget* parent = nullptr);

    // Top-Ups shows only at a site that sells them.
    void setTopupsVisible(bool visible);
    // The bar's colour, with captions and pictures readable on it.
    void setBarColour(const QColor& colour);

signals:
    void assistanceClicked();
    void speechClicked();
    void largeTextClicked();
    void topupsClicked();
    void lookupClicked();

private:
    // In the large text mode the keys grow to their enlarged captions.
    void largeTextApplied(bool on);

    QToolButton* cmTopups = nullptr;
    QColor fCaptionColour{Qt::white};  // of the flat keys' captions and pictures
};
