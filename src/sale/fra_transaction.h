#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "app/uMemTable.h"
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

// The transaction column, visible on every page: the line grid, the sub-total strip and the
// pay strip. A touch on its background is reported by clicked().
class TfraTransaction : public TClickPanel {
    Q_OBJECT
public:
    static constexpr int ColumnWidth = 401;

    TfraTransaction(const TMemTable& cdsTX, QWidget* parent = nullptr);

    // Shows the rebuilt cdsTX and selects its last row.
    void showLines();
    // The cdsTX row the grid has selected, or -1.
    int currentRow() const;

    QTableView* dbgTransaction = nullptr;
    QLabel* lbSubTotal = nullptr;
    QLabel* lbItemCount = nullptr;
    QLabel* lbl_itemX = nullptr;
    TClickPanel* pnFinishAndPay = nullptr;
    QPushButton* cmFinishAndPay = nullptr;

private:
    QWidget* buildSubTotalStrip();
    QWidget* buildPayStrip();

    TTransactionModel* fModel = nullptr;
};
