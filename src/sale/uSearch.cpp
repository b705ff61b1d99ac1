#include "sale/uSearch.h"

#include <limits>

#include "app/uText.h"

namespace {

constexpr int kCaptionLength = 20;
constexpr int kListBatch = 40;  // a few screenfuls of the list
// Up to this many barcode matches are sorted; more are read in list order.
constexpr int kSortedListLimit = 2000;
constexpr int kDescriptionLength = 100;  // TBL_PRODUCTS.DESCRIPTION

QString KeyName(const fb::Value& number) {
    return QStringLiteral("ik_") + number.toString();
}

std::optional<int> ColourOf(const fb::Value& value) {
    if (value.isNull()) return std::nullopt;
    return value.toInt();
}

// The caption colour of a key: the stored one where it reads at 4.5:1 on the key, else black
// or white, whichever reads better.
int ReadableCaptionColour(std::optional<int> colour, std::optional<int> caption) {
    constexpr double Readable = 4.5;
    const int background = colour.value_or(kItemKeyDesignColour);
    if (caption && ContrastRatio(background, *caption) >= Readable) return *caption;
    return CaptionColour(background);
}

// Opens q and makes a key of each row; fill reads the row's fields into the key.
template <class Fill>
std::vector<TItemKey> ReadKeys(fb::Query& q, const Fill& fill) {
    q.open();
    std::vector<TItemKey> keys;
    for (; !q.eof(); q.next()) {
        TItemKey key;
        fill(q, key);
        keys.push_back(std::move(key));
    }
    q.close();
    return keys;
}

// What every product key reads alike: its name from the numbering field, the product as its
// tag, the caption and the picture.
void ReadProductKey(fb::Query& q, TItemKeyKind kind, const char* numberField, TItemKey& key) {
    key.kind = kind;
    key.name = KeyName(q.field(QString::fromLatin1(numberField)));
    key.tag = q.field("SID").toInt();
    key.caption = ItemKeyCaption(q.field("DESCRIPTION").toString());
    key.picture = q.field("BGLYPH").toString();
}

}  // namespace

QString ItemKeyCaption(const QString& description) {
    QString caption = description.left(kCaptionLength);
    return caption.replace(u'&', QLatin1String("&&"));
}

bool IsQuantityText(const QString& text) {
    const qint64 value = TextToInt(text, -1);
    return value >= 0 && value <= kMaxQuantity;
}

int QuantityOfText(const QString& text) {
    return IsQuantityText(text) ? int(TextToInt(text, 0)) : 0;
}

// ---- TProductList ------------------------------------------------------------------------

TProductList::TProductList(fb::Connection& connection, QObject* parent)
    : QAbstractTableModel(parent), qProducts_(connection) {}

void TProductList::OpenAll() {
    reopen(
        QStringLiteral("select SID, DESCRIPTION from TBL_PRODUCTS order by BNUMBER, DESCRIPTION"),
        {});
}

void TProductList::OpenBarcodePrefix(const QString& prefix) {
    // Few matches are sorted at once; many are read in list order from the products' index,
    // so the first rows do not wait for every match to be sorted.
    const QString order = CountBarcodes(prefix, kSortedListLimit) > kSortedListLimit
                              ? QStringLiteral(
                                    " plan join (p order IX_PRODUCTS_BNUMBER_DESCRIPTION,"
                                    " b index (IX_BARCODES_SID))\r\n")
                              : QString();
    reopen(QStringLiteral("select p.SID, p.DESCRIPTION from TBL_PRODUCTS p\r\n"
                          " join TBL_BARCODES b on b.SID = p.SID\r\n"
                          " where b.BARCODE starting with :PFX\r\n") +
               order + QStringLiteral(" order by p.BNUMBER, p.DESCRIPTION"),
           prefix);
}

int TProductList::CountBarcodes(const QString& prefix, int limit) {
    qProducts_.close();
    qProducts_.setSQL(QStringLiteral("select count(*) from (select first %1 1 as FOUND\r\n"
                                     "  from TBL_BARCODES where BARCODE starting with :PFX)")
                          .arg(limit + 1));
    qProducts_.bind(QStringLiteral("PFX"), prefix);
    qProducts_.open();
    const int count = qProducts_.field(0).toInt();
    qProducts_.close();
    return count;
}

void TProductList::reopen(const QString& sql, const QString& prefix) {
    beginResetModel();
    qProducts_.close();
    qProducts_.setSQL(sql);
    if (sql.contains(QLatin1String(":PFX"))) qProducts_.bind(QStringLiteral("PFX"), prefix);
    rows_.clear();
    pending_ = true;
    atEnd_ = false;
    endResetModel();
}

int TProductList::sidAt(int row) const {
    return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)].sid : 0;
}

QString TProductList::descriptionAt(int row) const {
    return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)].description : QString();
}

int TProductList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TProductList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant TProductList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return descriptionAt(index.row());
}

bool TProductList::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_;
}

void TProductList::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_) return;
    if (pending_) {
        pending_ = false;
        qProducts_.open();
    }
    std::vector<Row> batch;
    for (; batch.size() < size_t(kListBatch) && !qProducts_.eof(); qProducts_.next())
        batch.push_back({qProducts_.field(0).toInt(), qProducts_.field(1).toString()});
    atEnd_ = qProducts_.eof();
    if (atEnd_) qProducts_.close();
    if (batch.empty()) return;
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + batch.size()) - 1);
    std::move(batch.begin(), batch.end(), std::back_inserter(rows_));
    endInsertRows();
}

// ---- TSearch -----------------------------------------------------------------------------

TSearch::TSearch(fb::Connection& connection) : q_(connection), products_(connection) {}

TSearchPage TSearch::ShowFilterScreen(TFilterScreenType mode, int group, const QString& filter) {
    TSearchPage page;
    page.mode = mode;
    switch (mode) {
        case fstNoFilter:
        case fstItemKeyGroups:
            page.keys = GroupKeys();
            break;
        case fstItemKeys:
            page.keys = ProductKeys(group);
            break;
        case fstFilteredProducts:
            page.grid = true;
            break;
        case fstFilteredBarcodes:
            page.grid = true;
            products_.OpenBarcodePrefix(filter);
            break;
        case fstFilteredItemKeys:
            page.keys = DescriptionKeys(filter);
            if (page.keys.empty() && TextToInt(filter, 0) > 0)
                return ShowFilterScreen(fstFilteredBarcodes, group, filter);
            break;
        case fstUnknown:
            break;
    }
    return page;
}

std::vector<TItemKey> TSearch::GroupKeys() {
    q_.close();
    q_.setSQL(QStringLiteral("select * from TBL_PRODUCT_GROUPS order by PRODUCT_GROUP_NO"));
    return ReadKeys(q_, [](fb::Query& q, TItemKey& key) {
        key.kind = TItemKeyKind::Group;
        key.name = KeyName(q.field("PRODUCT_GROUP_NO"));
        key.tag = q.field("PRODUCT_GROUP").toInt();
        key.caption = ItemKeyCaption(q.field("DESCRIPTION").toString());
        key.colour = ColourOf(q.field("BCOL"));
        key.captionColour = ReadableCaptionColour(key.colour, ColourOf(q.field("FCOL")));
        key.picture = q.field("GLYPH").toString();
    });
}

std::vector<TItemKey> TSearch::ProductKeys(int group) {
    q_.close();
    q_.setSQL(
        QStringLiteral("select SID, BNUMBER, DESCRIPTION, BCOLOUR, BGLYPH from TBL_PRODUCTS where "
                       "BGROUP = :GID\r\n"
                       "  order by BNUMBER"));
    q_.bind(QStringLiteral("GID"), group);
    return ReadKeys(q_, [](fb::Query& q, TItemKey& key) {
        ReadProductKey(q, TItemKeyKind::Product, "BNUMBER", key);
        // A product without a colour keeps the design colour, with a caption readable on it.
        key.colour = ColourOf(q.field("BCOLOUR"));
        key.captionColour = CaptionColour(key.colour.value_or(kItemKeyDesignColour));
    });
}

std::vector<TItemKey> TSearch::DescriptionKeys(const QString& text) {
    // position() matches the text character for character, so "%", "_", "'" and "\" typed on
    // the page stand for themselves.
    // No description is longer than its column; a longer text cannot be part of one.
    if (text.size() > kDescriptionLength) return {};
    q_.close();
    q_.setSQL(
        QStringLiteral("select SID, DESCRIPTION, BGLYPH from TBL_PRODUCTS\r\n"
                       " where BNUMBER > 0 and position(upper(cast(:TXT as varchar(100))) in "
                       "upper(DESCRIPTION)) > 0\r\n"
                       " order by BNUMBER, DESCRIPTION"));
    q_.bind(QStringLiteral("TXT"), text);
    return ReadKeys(q_, [](fb::Query& q, TItemKey& key) {
        ReadProductKey(q, TItemKeyKind::Found, "SID", key);
    });
}
