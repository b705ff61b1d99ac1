#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QWidget>
#include <optional>

#include "app/uMemTable.h"
#include "sale/uSale.h"
#include "ui/fra_tile.h"

class QLabel;
class QPushButton;
class QTableView;

// The columns of the line grid over cdsTX: quantity, product, promotion marker, amount.
class TTransactionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colQty, colProduct, colPromoMarker, colAmount, ColumnCount };

    explicit TTransactionModel(const TMemTable& table, QObject* parent = nullptr);

    // The table was rebuilt.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const TMemTable& fTable;
};

// What the pay button offers, from the state of the sale: payment of its lines, or, while the
// payment page is open, the amount the terminal is asked for.
struct TPayState {
    bool hasLines = false;
    std::optional<qint64> dueMinorUnits;  // set while the sale is at the payment page
};

// The transaction column, visible on every page: the line grid, the sub-total strip and the
// pay strip. A touch on its background (the pay strip's included) is reported by clicked(),
// a touch on the pay button by payClicked().
class TfraTransaction : public TClickPanel {
    Q_OBJECT
public:
    static constexpr int ColumnWidth = 401;

    TfraTransaction(const TMemTable& cdsTX, QWidget* parent = nullptr);

    // Shows the rebuilt cdsTX and selects its last row.
    void showLines();
    // The cdsTX row the grid has selected, or -1.
    int currentRow() const;
    void showTotals(const TSaleTotals& totals);
    // "Finish & Pay", live while there are lines; "DUE" and the amount, not live, at the
    // payment page.
    void setPayState(const TPayState& state);
    // The pay strip takes the colour of the bars.
    void setBarColour(const QColor& colour);

signals:
    void payClicked();

private:
    QWidget* buildSubTotalStrip();
    QWidget* buildPayStrip();
    // The columns' widths for the font the lines show in.
    void fitColumns();
    // In the large text mode the lines wrap and the strips grow to their enlarged texts.
    void largeTextApplied(bool on);

    TTransactionModel* fModel = nullptr;
    QTableView* dbgTransaction = nullptr;
    QLabel* lbSubTotal = nullptr;
    QLabel* lbItemCount = nullptr;
    TClickPanel* pnFinishAndPay = nullptr;
    QWidget* pnSubTotal = nullptr;
    QColor fBarColour;
    QPushButton* cmFinishAndPay = nullptr;
};
