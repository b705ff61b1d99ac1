#include "sale/fra_search.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

#include "app/wg_Colours.h"
#include "app/wg_Fonts.h"
#include "sale/fra_itemkey.h"
#include "sale/fra_keyboard.h"

namespace {

constexpr int SideMargin = 32;
constexpr int KeyboardHeight = 176;
constexpr int DescriptionWidth = 430;

}  // namespace

// ---- TItemKeyPanel -----------------------------------------------------------------------

TItemKeyPanel::TItemKeyPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnItemKeys"));
}

void TItemKeyPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != fPlacedWidth) placeKeys();
}

QSize TItemKeyPanel::keySize(TItemKeyKind kind) const {
    if (kind != TItemKeyKind::Group) return TfraItemKey::DesignSize;
    // Five group keys to a row.
    return {int(std::lround((width() - 40) / 5.0)) - Gap, GroupKeyHeight};
}

void TItemKeyPanel::placeKeys() {
    fPlacedWidth = width();
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (QObject* child : children()) {
        auto* key = qobject_cast<TfraItemKey*>(child);
        if (!key || key->isHidden()) continue;
        key->resize(keySize(key->Kind));
        if (x > 0 && x + Gap + key->width() > width()) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        key->move(x + Gap, y + Gap);
        x += Gap + key->width();
        rowHeight = std::max(rowHeight, Gap + key->height());
    }
    setMinimumHeight(y + rowHeight + Gap);
}

// ---- TfraSearch --------------------------------------------------------------------------

TfraSearch::TfraSearch(TProductList& products, QObject* messageContainer, QWidget* parent)
    : QWidget(parent), fProducts(products), fMessageContainer(messageContainer) {
    setObjectName(QStringLiteral("tsFind"));

    sbItemKeys = new QScrollArea(this);
    sbItemKeys->setObjectName(QStringLiteral("sbItemKeys"));
    sbItemKeys->setFrameShape(QFrame::NoFrame);
    sbItemKeys->setWidgetResizable(true);
    sbItemKeys->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbItemKeys->setFocusPolicy(Qt::NoFocus);
    pnItemKeys = new TItemKeyPanel;
    sbItemKeys->setWidget(pnItemKeys);
    sbItemKeys->hide();

    pnFilterGrid = new QWidget(this);
    pnFilterGrid->setObjectName(QStringLiteral("pnFilterGrid"));
    dbgFilter = new QTableView(pnFilterGrid);
    dbgFilter->setObjectName(QStringLiteral("dbgFilter"));
    dbgFilter->setModel(&fProducts);
    dbgFilter->setFont(KioskFont(KioskFace::Tahoma, 16, true));
    dbgFilter->horizontalHeader()->hide();
    dbgFilter->verticalHeader()->hide();
    dbgFilter->setShowGrid(false);
    dbgFilter->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgFilter->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgFilter->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgFilter->setColumnWidth(0, DescriptionWidth);
    dbgFilter->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgFilter->verticalHeader()->setDefaultSectionSize(32);
    auto* gridLayout = new QVBoxLayout(pnFilterGrid);
    gridLayout->setContentsMargins(SideMargin, 8, SideMargin, 0);
    gridLayout->addWidget(dbgFilter);

    ebFilter = new QLineEdit(this);
    ebFilter->setObjectName(QStringLiteral("ebFilter"));
    ebFilter->setFont(KioskFont(KioskFace::Tahoma, 16, true));

    fraKeyboard1 = new TfraKeyboard(this);
    fraKeyboard1->setFixedHeight(KeyboardHeight);

    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(SideMargin, 6, SideMargin, 6);
    filterRow->addWidget(ebFilter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(sbItemKeys, 1);
    layout->addWidget(pnFilterGrid, 1);
    layout->addLayout(filterRow);
    layout->addWidget(fraKeyboard1);

    connect(ebFilter, &QLineEdit::textChanged, this, &TfraSearch::ebFilterChange);
    connect(fraKeyboard1, &TfraKeyboard::keyClicked, this, &TfraSearch::cmKeyboardClick);
    connect(dbgFilter, &QTableView::clicked, this, &TfraSearch::dbgFilterCellClick);
}

void TfraSearch::showPage(const TSearchPage& page, const QString& resFolder) {
    ClearItemKeys();
    pnFilterGrid->setVisible(page.grid);
    sbItemKeys->setVisible(!page.grid);
    if (page.grid) {
        // The first rows at once: the list is complete as the page is shown.
        if (fProducts.canFetchMore({})) fProducts.fetchMore({});
        return;
    }
    for (const TItemKey& item : page.keys) {
        if (fShownKeys == fKeys.size())
            fKeys.push_back(new TfraItemKey(pnItemKeys, fMessageContainer));
        TfraItemKey* key = fKeys[fShownKeys++];
        key->setKey(item, pnItemKeys->keySize(item.kind), resFolder);
        key->show();
    }
    pnItemKeys->placeKeys();
    sbItemKeys->ensureVisible(0, 0);
}

void TfraSearch::ClearItemKeys() {
    while (fShownKeys > 0) fKeys[--fShownKeys]->clearKey();
    pnItemKeys->setMinimumHeight(0);
}

void TfraSearch::clearFilter() {
    const QSignalBlocker detached(ebFilter);
    ebFilter->clear();
}

QString TfraSearch::filterText() const {
    return ebFilter->text();
}

void TfraSearch::InitialiseKeyboard() {
    fraKeyboard1->Initialise(0);
}

void TfraSearch::cmKeyboardClick(int tag, const QString& caption) {
    switch (tag) {
        case TfraKeyboard::TagBackspace:
            if (!ebFilter->text().isEmpty()) ebFilter->setText(ebFilter->text().chopped(1));
            break;
        case TfraKeyboard::TagSpace:
            ebFilter->setText(ebFilter->text() + u' ');
            break;
        case TfraKeyboard::TagClear:
            ebFilter->clear();
            emit closeRequested();
            break;
        default:
            ebFilter->setText(ebFilter->text() + caption);
    }
}

void TfraSearch::ebFilterChange(const QString& text) {
    emit filterScreenWanted(text.isEmpty() ? fstNoFilter : fstFilteredItemKeys);
}

void TfraSearch::dbgFilterCellClick(const QModelIndex& index) {
    if (!index.isValid()) return;
    emit productPicked(fProducts.sidAt(index.row()), fProducts.descriptionAt(index.row()));
}
