#include "sale/fra_search.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

#include "sale/fra_itemkey.h"
#include "sale/fra_keyboard.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

constexpr int SideMargin = 32;
constexpr int KeyboardHeight = 176;
constexpr int DescriptionWidth = 430;

}  // namespace

// ---- TItemKeyPanel -----------------------------------------------------------------------

TItemKeyPanel::TItemKeyPanel(QObject* messageContainer, QWidget* parent)
    : QWidget(parent), fMessageContainer(messageContainer) {
    setObjectName(QStringLiteral("pnItemKeys"));
}

QSize TItemKeyPanel::keySize(TItemKeyKind kind) const {
    if (kind != TItemKeyKind::Group) return TfraItemKey::DesignSize;
    // Five group keys to a row.
    return {int(std::lround((width() - 40) / 5.0)) - Gap, GroupKeyHeight};
}

void TItemKeyPanel::setKeys(std::vector<TItemKey> items, const QString& resFolder) {
    clearKeys();
    fItems = std::move(items);
    fResFolder = resFolder;
    fItemKeys.assign(fItems.size(), nullptr);
    placeKeys();
}

void TItemKeyPanel::clearKeys() {
    ++fPage;
    while (fUsedKeys > 0) fKeys[--fUsedKeys]->clearKey();
    fItems.clear();
    fPlaces.clear();
    fItemKeys.clear();
    setMinimumHeight(0);
}

void TItemKeyPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != fPlacedWidth)
        placeKeys();
    else
        buildKeysInView();
}

// The scroll box scrolls by moving the panel.
void TItemKeyPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    buildKeysInView();
}

void TItemKeyPanel::placeKeys() {
    fPlacedWidth = width();
    fPlaces.clear();
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (size_t i = 0; i < fItems.size(); ++i) {
        const QSize size = keySize(fItems[i].kind);
        if (x > 0 && x + Gap + size.width() > width()) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        fPlaces.emplace_back(QPoint(x + Gap, y + Gap), size);
        if (fItemKeys[i]) fItemKeys[i]->setGeometry(fPlaces.back());
        x += Gap + size.width();
        rowHeight = std::max(rowHeight, Gap + size.height());
    }
    setMinimumHeight(fItems.empty() ? 0 : y + rowHeight + Gap);
    buildKeysInView();
}

void TItemKeyPanel::buildKeysInView() {
    if (!parentWidget()) return;
    // What the scroll box shows, and a key's height either side of it.
    const int margin = TfraItemKey::DesignSize.height();
    const QRect view =
        QRect(QPoint(0, -y()), parentWidget()->size()).adjusted(0, -margin, 0, margin);
    for (size_t i = 0; i < fPlaces.size(); ++i) {
        if (fItemKeys[i] || !fPlaces[i].intersects(view)) continue;
        if (fUsedKeys == fKeys.size()) fKeys.push_back(new TfraItemKey(this, fMessageContainer));
        TfraItemKey* key = fKeys[fUsedKeys++];
        key->setKey(fItems[i], fPlaces[i].size(), fResFolder);
        key->move(fPlaces[i].topLeft());
        key->show();
        key->Page = fPage;
        fItemKeys[i] = key;
    }
}

// ---- TfraSearch --------------------------------------------------------------------------

TfraSearch::TfraSearch(TSearch& search, const QString& resFolder, QWidget* parent)
    : QWidget(parent), fSearch(search), fProducts(search.products()), fResFolder(resFolder) {
    setObjectName(QStringLiteral("tsFind"));

    sbItemKeys = new QScrollArea(this);
    sbItemKeys->setObjectName(QStringLiteral("sbItemKeys"));
    sbItemKeys->setFrameShape(QFrame::NoFrame);
    sbItemKeys->setWidgetResizable(true);
    sbItemKeys->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbItemKeys->setFocusPolicy(Qt::NoFocus);
    pnItemKeys = new TItemKeyPanel(this);
    sbItemKeys->setWidget(pnItemKeys);
    sbItemKeys->hide();

    pnFilterGrid = new QWidget(this);
    pnFilterGrid->setObjectName(QStringLiteral("pnFilterGrid"));
    dbgFilter = new QTableView(pnFilterGrid);
    dbgFilter->setObjectName(QStringLiteral("dbgFilter"));
    dbgFilter->setModel(&fProducts);
    dbgFilter->setAccessibleName(QStringLiteral("Search results"));
    MakeKeypadKey(dbgFilter);
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
    ebFilter->setAccessibleName(QStringLiteral("Search text"));
    ebFilter->setFont(KioskFont(KioskFace::Tahoma, 16, true));

    fraKeyboard1 = new TfraKeyboard(this);
    fraKeyboard1->setFixedHeight(KeyboardHeight);
    // The keyboard's Clear leaves the search page.
    MarkEscapeKey(fraKeyboard1->key(QStringLiteral("Clear")));

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

void TfraSearch::ShowFilterScreen(TFilterScreenType mode) {
    const QWidget* focus = window()->focusWidget();
    const bool onItemKey = focus && pnItemKeys->isAncestorOf(focus);
    fFilterScreenType = mode;
    ClearItemKeys();
    if (mode != fstItemKeys) fSelectedItemKeyGroup = -1;
    const TSearchPage page =
        fSearch.ShowFilterScreen(mode, fSelectedItemKeyGroup, ebFilter->text());
    fFilterScreenType = page.mode;
    showPage(page);
    // A group opened from the keyboard: the keyboard goes on among its products.
    if (onItemKey) focusFirstItemKey();
}

void TfraSearch::focusFirstItemKey() {
    for (QWidget* key : KeypadKeys(window()))
        if (pnItemKeys->isAncestorOf(key) || key == dbgFilter) {
            key->setFocus(Qt::TabFocusReason);
            return;
        }
}

void TfraSearch::WMItemKeyClick(int tag) {
    if (fFilterScreenType == fstNoFilter || fFilterScreenType == fstItemKeyGroups) {
        fSelectedItemKeyGroup = tag;
        ShowFilterScreen(fstItemKeys);
    } else {
        emit productPicked(tag, {});
    }
}

void TfraSearch::customEvent(QEvent* event) {
    if (event->type() != WM_ITEMKEY) return QWidget::customEvent(event);
    // A second touch queued behind the first belongs to keys that are gone: a group's number
    // must not be sold as a product.
    const auto* message = static_cast<TItemKeyMessage*>(event);
    if (message->lParam == pnItemKeys->page()) WMItemKeyClick(message->wParam);
}

void TfraSearch::showPage(const TSearchPage& page) {
    ClearItemKeys();
    pnFilterGrid->setVisible(page.grid);
    sbItemKeys->setVisible(!page.grid);
    if (page.grid) {
        // The first rows at once: the list is complete as the page is shown.
        if (fProducts.canFetchMore({})) fProducts.fetchMore({});
        return;
    }
    // A new page starts at its top; keys are built for what is in view there.
    sbItemKeys->verticalScrollBar()->setValue(0);
    pnItemKeys->setKeys(page.keys, fResFolder);
}

void TfraSearch::ClearItemKeys() {
    pnItemKeys->clearKeys();
}

void TfraSearch::clearFilter() {
    const QSignalBlocker detached(ebFilter);
    ebFilter->clear();
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
    ShowFilterScreen(text.isEmpty() ? fstNoFilter : fstFilteredItemKeys);
}

void TfraSearch::dbgFilterCellClick(const QModelIndex& index) {
    if (!index.isValid()) return;
    emit productPicked(fProducts.sidAt(index.row()), fProducts.descriptionAt(index.row()));
}
