#include "sale/fra_transaction.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/uText.h"
#include "ui/fm_mainArt.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_LargeText.h"

namespace {

constexpr int SubTotalHeight = 99;
constexpr int PayStripHeight = 101;
constexpr int LineHeight = 34;
// Room for the enlarged texts: the totals' two rows, and "Finish & Pay" on two lines.
constexpr int LargeSubTotalHeight = 124;
constexpr int LargePayStripHeight = 170;
constexpr int QtyWidth = 63;
constexpr int MarkerWidth = 32;
constexpr int CellPadding = 4;
const QColor StripColour(0xe4, 0xea, 0xf2);

const QString kQty = QStringLiteral("SALES_QTY");
const QString kProduct = QStringLiteral("PRODUCT");
const QString kMarker = QStringLiteral("PROMO_MARKER");
const QString kAmount = QStringLiteral("SALES_AMT");

// The pay key: white on green; disabled (no lines yet, or the amount due while paying) it lies
// flat on the strip, its caption in the strip's caption colour so the amount due reads.
QString PayKeySheet(const QColor& caption) {
    const QString rgb =
        QStringLiteral("%1, %2, %3").arg(caption.red()).arg(caption.green()).arg(caption.blue());
    return QStringLiteral(
               "#cmFinishAndPay { color: white; border: 1px solid #1e7a3c; border-radius: 10px;"
               "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #22803f, stop:1 "
               "#17662f); }"
               "#cmFinishAndPay:pressed { background: #125425; }"
               "#cmFinishAndPay:disabled { color: rgb(%1); border: 1px solid rgba(%1, 90);"
               "  background: transparent; }")
        .arg(rgb);
}

// Quantities and amounts show with two decimals; an empty field (the row before the
// promotion rows) shows nothing.
QString NumberText(const fb::Value& value) {
    return value.isNull() ? QString() : QString::number(value.toDouble(), 'f', 2);
}

QLabel* MakeLabel(const QString& name, const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, KioskTextColour);
    label->setPalette(palette);
    return label;
}

}  // namespace

// ---- TTransactionModel -------------------------------------------------------------------

TTransactionModel::TTransactionModel(const TMemTable& table, QObject* parent)
    : QAbstractTableModel(parent), fTable(table) {}

void TTransactionModel::reload() {
    beginResetModel();
    endResetModel();
}

int TTransactionModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || fTable.fieldIndex(kProduct) < 0 ? 0 : fTable.rowCount();
}

int TTransactionModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TTransactionModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        if (column == colProduct) return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (column == colPromoMarker) return int(Qt::AlignCenter);
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    switch (column) {
        case colQty:
            return NumberText(fTable.value(index.row(), kQty));
        case colProduct:
            return fTable.value(index.row(), kProduct).toString();
        case colPromoMarker:
            return fTable.value(index.row(), kMarker).toString();
        case colAmount:
            return NumberText(fTable.value(index.row(), kAmount));
        default:
            return {};
    }
}

// ---- TfraTransaction ---------------------------------------------------------------------

TfraTransaction::TfraTransaction(const TMemTable& cdsTX, QWidget* parent) : TClickPanel(parent) {
    setObjectName(QStringLiteral("pnl_trans"));
    setFixedWidth(ColumnWidth);
    setColour(Qt::white);

    fModel = new TTransactionModel(cdsTX, this);
    dbgTransaction = new QTableView(this);
    dbgTransaction->setObjectName(QStringLiteral("dbgTransaction"));
    dbgTransaction->setModel(fModel);
    dbgTransaction->setAccessibleName(QStringLiteral("Your shopping"));
    MakeKeypadKey(dbgTransaction);
    dbgTransaction->setFont(KioskFont(KioskFace::Tahoma, 19));
    dbgTransaction->horizontalHeader()->hide();
    dbgTransaction->verticalHeader()->hide();
    dbgTransaction->verticalHeader()->setDefaultSectionSize(LineHeight);
    dbgTransaction->setShowGrid(false);
    dbgTransaction->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgTransaction->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgTransaction->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgTransaction->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    dbgTransaction->setWordWrap(false);
    dbgTransaction->setFrameShape(QFrame::NoFrame);
    dbgTransaction->setStyleSheet(
        QStringLiteral(
            "#dbgTransaction { border: none; border-radius: 0px; background: white; }"
            "#dbgTransaction::item { padding: 0px %1px; border-bottom: 1px solid #e3e8ef; }")
            .arg(CellPadding));
    QHeaderView* columns = dbgTransaction->horizontalHeader();
    columns->setMinimumSectionSize(MarkerWidth);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setSectionResizeMode(TTransactionModel::colProduct, QHeaderView::Stretch);
    columns->resizeSection(TTransactionModel::colPromoMarker, MarkerWidth);
    fitColumns();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(dbgTransaction, 1);
    layout->addWidget(buildSubTotalStrip());
    layout->addWidget(buildPayStrip());
    connect(&TLargeText::instance(), &TLargeText::applied, this,
            &TfraTransaction::largeTextApplied);
}

void TfraTransaction::fitColumns() {
    const QFontMetrics metrics = dbgTransaction->fontMetrics();
    const auto width = [&](const QString& widest) {
        return std::max(QtyWidth, metrics.horizontalAdvance(widest) + 2 * CellPadding + 2);
    };
    QHeaderView* columns = dbgTransaction->horizontalHeader();
    columns->resizeSection(TTransactionModel::colQty, width(QStringLiteral("00.00")));
    // Wide enough for a discount row's negative amount as well as a line's.
    columns->resizeSection(TTransactionModel::colAmount, width(QStringLiteral("-000.00")));
}

void TfraTransaction::largeTextApplied(bool on) {
    fitColumns();
    dbgTransaction->setWordWrap(on);
    dbgTransaction->verticalHeader()->setSectionResizeMode(on ? QHeaderView::ResizeToContents
                                                              : QHeaderView::Interactive);
    if (!on) dbgTransaction->verticalHeader()->setDefaultSectionSize(LineHeight);
    for (int row = 0; !on && row < fModel->rowCount(); ++row)
        dbgTransaction->setRowHeight(row, LineHeight);
    pnSubTotal->setFixedHeight(on ? LargeSubTotalHeight : SubTotalHeight);
    pnFinishAndPay->setFixedHeight(on ? LargePayStripHeight : PayStripHeight);
    TLargeText::fitCaption(*cmFinishAndPay);
    // The style sheets' change of the mode takes the strip's colour with it.
    if (fBarColour.isValid()) pnFinishAndPay->setColour(fBarColour);
}

QWidget* TfraTransaction::buildSubTotalStrip() {
    auto* strip = pnSubTotal = new QWidget(this);
    strip->setObjectName(QStringLiteral("pnSubTotal"));
    strip->setFixedHeight(SubTotalHeight);
    strip->setAttribute(Qt::WA_TransparentForMouseEvents);
    strip->setAutoFillBackground(true);
    QPalette palette = strip->palette();
    palette.setColor(QPalette::Window, StripColour);
    strip->setPalette(palette);

    auto* caption = MakeLabel(QStringLiteral("lbSubTotalCaption"), QStringLiteral("Sub-Total"),
                              KioskFont(KioskFace::Tahoma, 19, true), strip);
    lbSubTotal = MakeLabel(QStringLiteral("lbSubTotal"), QStringLiteral("0.00"),
                           KioskFont(KioskFace::Tahoma, 34, true), strip);
    lbSubTotal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* basket = MakeLabel(QStringLiteral("imBasket"), {}, font(), strip);
    basket->setPixmap(BasketArt(20, KioskTextColour));
    // The "X" between the basket and the count is not shown.
    auto* itemX = MakeLabel(QStringLiteral("lbl_itemX"), QStringLiteral("X"),
                            KioskFont(KioskFace::Tahoma, 12, true), strip);
    itemX->hide();
    lbItemCount = MakeLabel(QStringLiteral("lbItemCount"), QStringLiteral("0"),
                            KioskFont(KioskFace::Tahoma, 12, true), strip);

    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(caption);
    totalRow->addStretch(1);
    totalRow->addWidget(lbSubTotal);
    auto* countRow = new QHBoxLayout;
    countRow->setSpacing(8);
    countRow->addWidget(basket);
    countRow->addWidget(itemX);
    countRow->addWidget(lbItemCount);
    countRow->addStretch(1);
    auto* layout = new QVBoxLayout(strip);
    layout->setContentsMargins(16, 8, 16, 10);
    layout->setSpacing(2);
    layout->addLayout(totalRow);
    layout->addLayout(countRow);
    return strip;
}

QWidget* TfraTransaction::buildPayStrip() {
    pnFinishAndPay = new TClickPanel(this);
    pnFinishAndPay->setObjectName(QStringLiteral("pnFinishAndPay"));
    pnFinishAndPay->setFixedHeight(PayStripHeight);

    cmFinishAndPay = new QPushButton(QStringLiteral("PAY"), pnFinishAndPay);
    cmFinishAndPay->setObjectName(QStringLiteral("cmFinishAndPay"));
    cmFinishAndPay->setFont(KioskFont(KioskFace::Tahoma, 37, true));
    MakeKeypadKey(cmFinishAndPay);
    cmFinishAndPay->setEnabled(false);
    cmFinishAndPay->setStyleSheet(PayKeySheet(Qt::white));

    auto* layout = new QVBoxLayout(pnFinishAndPay);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(cmFinishAndPay);
    connect(cmFinishAndPay, &QPushButton::clicked, this, &TfraTransaction::payClicked);
    connect(pnFinishAndPay, &TClickPanel::clicked, this, &TClickPanel::clicked);
    return pnFinishAndPay;
}

void TfraTransaction::showLines() {
    fModel->reload();
    const int rows = fModel->rowCount();
    if (rows > 0) {
        dbgTransaction->selectRow(rows - 1);
        dbgTransaction->scrollToBottom();
    }
}

int TfraTransaction::currentRow() const {
    const QModelIndex current = dbgTransaction->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TfraTransaction::showTotals(const TSaleTotals& totals) {
    lbSubTotal->setText(totals.subTotalText);
    lbItemCount->setText(QString::number(totals.itemCount));
}

void TfraTransaction::setPayState(const TPayState& state) {
    cmFinishAndPay->setText(state.dueMinorUnits
                                ? QStringLiteral("DUE ") + MoneyText(*state.dueMinorUnits / 100.0)
                                : QStringLiteral("Finish && Pay"));
    TLargeText::fitCaption(*cmFinishAndPay);
    cmFinishAndPay->setEnabled(state.hasLines && !state.dueMinorUnits);
}

void TfraTransaction::setBarColour(const QColor& colour) {
    fBarColour = colour;
    pnFinishAndPay->setColour(colour);
    cmFinishAndPay->setStyleSheet(PayKeySheet(CaptionColourOn(colour)));
}
