#pragma once

#include <QWidget>
#include <vector>

#include "sale/uSearch.h"

class QLineEdit;
class QMoveEvent;
class QScrollArea;
class QTableView;
class TfraKeyboard;
class TfraItemKey;

// The panel the item keys flow in: left to right, then top to bottom, 4 px apart, growing
// downwards with its content. Group keys share a row five at a time. Every key of a page has
// its place at once, but a key is built only as its place comes into view (or near it): a page
// of hundreds of keys costs the few on screen. Keys taken off a page are kept, hidden, and
// given the next page's items.
class TItemKeyPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int Gap = 4;
    static constexpr int GroupKeyHeight = 100;

    TItemKeyPanel(QObject* messageContainer, QWidget* parent = nullptr);

    // The size of a key of this kind at the panel's width.
    QSize keySize(TItemKeyKind kind) const;
    // The page's keys, their pictures from resFolder.
    void setKeys(std::vector<TItemKey> items, const QString& resFolder);
    // Takes every key off the page, the last one first.
    void clearKeys();
    // The keys of the page, built or not.
    int keyCount() const { return int(fItems.size()); }
    // The number of the page of keys shown; every change of the keys starts a new page.
    int page() const { return fPage; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void placeKeys();
    void buildKeysInView();

    QObject* fMessageContainer;
    QString fResFolder;
    std::vector<TItemKey> fItems;
    std::vector<QRect> fPlaces;           // of each item
    std::vector<TfraItemKey*> fItemKeys;  // the key built for each item, or nullptr
    std::vector<TfraItemKey*> fKeys;      // every key made so far
    size_t fUsedKeys = 0;                 // the first ones stand for items
    int fPlacedWidth = -1;
    int fPage = 0;
};

// The search page: the item keys or the product list, the filter text and the on-screen
// keyboard. It keeps the mode it shows and the group whose keys are open, shows what the search
// core finds for them, and reports the product the customer picked. The keys post their
// touches to the page (WM_ITEMKEY), which acts on them once the touch has been handled.
class TfraSearch : public QWidget {
    Q_OBJECT
public:
    // Pictures of the keys come from resFolder.
    TfraSearch(TSearch& search, const QString& resFolder, QWidget* parent = nullptr);

    // Shows the page of a mode: the keys or the list that the search core finds for it.
    void ShowFilterScreen(TFilterScreenType mode);
    // A touched item key: a group key opens its products, a product key is picked.
    void WMItemKeyClick(int tag);
    // Takes every key off the page, the last one first.
    void ClearItemKeys();
    // Empties the filter without reporting the change.
    void clearFilter();
    // The keyboard in its full layout (letters and keypad).
    void InitialiseKeyboard();

    // The keyboard's keys: edit the filter, or close the page on "Clear".
    void cmKeyboardClick(int tag, const QString& caption);

signals:
    // A product was touched in the list or on its key (without a caption).
    void productPicked(int sid, const QString& description);
    // "Clear": the customer leaves the page.
    void closeRequested();

protected:
    void customEvent(QEvent* event) override;

private:
    void showPage(const TSearchPage& page);
    // The first key of the page now shown, for a keyboard that was on an item key.
    void focusFirstItemKey();
    void ebFilterChange(const QString& text);
    void dbgFilterCellClick(const QModelIndex& index);

    TSearch& fSearch;
    TProductList& fProducts;
    QString fResFolder;
    TFilterScreenType fFilterScreenType = fstUnknown;
    int fSelectedItemKeyGroup = -1;
    QScrollArea* sbItemKeys = nullptr;
    TItemKeyPanel* pnItemKeys = nullptr;
    QWidget* pnFilterGrid = nullptr;
    QTableView* dbgFilter = nullptr;
    QLineEdit* ebFilter = nullptr;
    TfraKeyboard* fraKeyboard1 = nullptr;
};
