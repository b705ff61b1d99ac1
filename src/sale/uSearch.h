#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <vector>

#include "db/fbQuery.h"

// Modes of the search page.
enum TFilterScreenType {
    fstUnknown,
    fstNoFilter,
    fstItemKeyGroups,
    fstItemKeys,
    fstFilteredProducts,
    fstFilteredBarcodes,
    fstFilteredItemKeys
};

// How an item key is sized and where its picture comes from.
enum class TItemKeyKind {
    Group,    // five to a row, 100 px high; picture by name (".png" added)
    Product,  // design size; picture by name (".png" added)
    Found     // design size and colour; picture file exactly as stored
};

// The colour of a key that has none of its own (a Windows colour value, #e9eef5).
inline constexpr int kItemKeyDesignColour = 0xf5eee9;

// One key of the search page, as the page shows it.
struct TItemKey {
    TItemKeyKind kind = TItemKeyKind::Product;
    QString name;               // "ik_" and a number; only names the control
    int tag = 0;                // PRODUCT_GROUP of a group key, SID of a product key
    QString caption;            // cut to 20 characters, every "&" doubled
    std::optional<int> colour;  // Windows colour value; none keeps the design colour
    // Windows colour value that reads at 4.5:1 or better on the key; none: the kiosk's own
    std::optional<int> captionColour;
    QString picture;  // empty: no picture
};

// What the search page shows for a mode.
struct TSearchPage {
    TFilterScreenType mode = fstUnknown;  // the mode shown: a number found in no description
                                          // shows the barcode-prefix list
    bool grid = false;                    // the product list instead of the keys
    std::vector<TItemKey> keys;
};

// A key caption: the first 20 characters of a description with every "&" doubled, so a label
// shows each one.
QString ItemKeyCaption(const QString& description);

// The quantity the quantity dialog's text stands for: a whole number from 0 to 999, anything
// else (more than 999, beyond a 32-bit integer, not a number) is 0 and adds nothing.
inline constexpr int kMaxQuantity = 999;
int QuantityOfText(const QString& text);
// Whether the text is such a whole number from 0 to 999.
bool IsQuantityText(const QString& text);

// The product list behind the search page's grid (one column, DESCRIPTION). Rows are fetched
// as the grid scrolls to them, so a list of many thousand rows costs what is shown. The
// statement runs when the list is first read.
class TProductList : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TProductList(fb::Connection& connection, QObject* parent = nullptr);

    // Every product, as the page's grid starts.
    void OpenAll();
    // One row per barcode that starts with prefix (matched as typed, no wildcards).
    void OpenBarcodePrefix(const QString& prefix);

    int sidAt(int row) const;
    QString descriptionAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    struct Row {
        int sid;
        QString description;
    };
    void reopen(const QString& sql, const QString& prefix);
    // The barcodes starting with prefix, counted up to limit + 1.
    int CountBarcodes(const QString& prefix, int limit);

    fb::Query qProducts_;
    std::vector<Row> rows_;
    bool pending_ = false;  // set, not yet run
    bool atEnd_ = true;
};

// The search page's database work: the group keys, a group's product keys, the description
// search and the barcode-prefix list, each on a query of its own. Typed text is only ever
// bound as a parameter.
class TSearch {
public:
    explicit TSearch(fb::Connection& connection);

    // What the page shows in a mode. group: the group whose keys fstItemKeys shows;
    // filter: the typed text the filtered modes search with.
    TSearchPage ShowFilterScreen(TFilterScreenType mode, int group, const QString& filter);

    std::vector<TItemKey> GroupKeys();
    std::vector<TItemKey> ProductKeys(int group);
    // Keyed products (BNUMBER above 0) whose description holds text, ignoring case, in key
    // order; every character of text stands for itself.
    std::vector<TItemKey> DescriptionKeys(const QString& text);

    TProductList& products() { return products_; }

private:
    fb::Query q_;
    TProductList products_;
};
