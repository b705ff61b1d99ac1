#include "sale/uSale.h"

#include <QUuid>
#include <exception>

#include "app/uDbUtils.h"
#include "app/uLog.h"
#include "app/uText.h"
#include "sale/uBarcodes.h"
#include "sale/uRestrictions.h"

namespace {

const QString kProduct = QStringLiteral("PRODUCT");
const QString kPromoMarker = QStringLiteral("PROMO_MARKER");

QString NewGuidText() {
    return QUuid::createUuid().toString(QUuid::Id128).toUpper();
}

// "select *" over a join returns the barcode row's SID before the product's; the product may be
// missing, so the first one is the one to read.
const fb::Value& FirstField(fb::Query& q, const QString& name) {
    for (int i = 0; i < q.fieldCount(); ++i)
        if (q.fieldName(i) == name) return q.field(i);
    return q.field(name);
}

// How much of the product a GS1 code sells, set on item; the fault when the code cannot say.
// A variable-measure item is sold as an in-store label: its weight in kilograms at the price per
// kilogram, or its price as the line's amount (with both, the price over the weight).
QString TakeMeasure(const TGs1Code& code, TSaleItem& item) {
    if (!code.variableMeasure()) {
        // An amount payable belongs to variable-measure items alone; on a product of fixed
        // price it would sell the item at a price the shop never set.
        if (code.price) return QStringLiteral("carries a price but is of fixed measure");
        if (code.count) item.quantity = *code.count;
        return {};
    }
    if (code.netWeightKg && *code.netWeightKg <= 0) return QStringLiteral("weighs 0");
    if (code.price && *code.price <= 0) return QStringLiteral("costs 0");
    if (!code.netWeightKg && !code.price)
        return QStringLiteral("is of variable measure but carries no weight or price");
    if (code.netWeightKg) {
        item.weighed = true;
        item.quantity = *code.netWeightKg;
        if (code.price) item.unitPrice = *code.price / *code.netWeightKg;
    } else {
        item.unitPrice = *code.price;
    }
    return {};
}

}  // namespace

QStringList SaleLineFields() {
    return {QStringLiteral("SALES_LINE_ID"),
            QStringLiteral("SALES_QTY"),
            QStringLiteral("SALES_AMT"),
            kProduct,
            kPromoMarker,
            QStringLiteral("SID")};
}

QString AmpersandCaption(const QString& caption) {
    if (!caption.contains(u'&') || caption.contains(QLatin1String("&&"))) return caption;
    QString shown = caption;
    return shown.replace(u'&', QLatin1String("&&"));
}

QString QuantityLineText(double quantity, double price) {
    return QString::number(qRound64(quantity)) + QLatin1String(" @ ") + MoneyText(price) +
           QLatin1String(" each");
}

QString WeightLineText(double kilograms, double pricePerKilogram) {
    return QString::number(kilograms, 'f', 3) + QLatin1String(" kg @ ") +
           MoneyText(pricePerKilogram) + QLatin1String("/kg");
}

QString CleanBarcode(const QString& text) {
    QString clean = text;
    return clean.remove(u' ');
}

TSale::TSale(fb::Connection& conx, const Clock* clock)
    : q1_(conx), q2_(conx), clock_(clock), ages_(q1_), stops_(q1_) {}

QDateTime TSale::now() const {
    return clock_ ? clock_->now() : Clock::instance().now();
}

TSaleItem ProductItem(int sid, const QString& barcode, double quantity, const QString& caption) {
    TSaleItem item;
    item.sid = sid;
    item.barcode = barcode;
    item.quantity = quantity;
    item.caption = caption;
    return item;
}

TAddResult TSale::AddProductToSale(int& salesId, int& previousSalesId, int sid,
                                   const QString& barcode, double quantity, const QString& caption,
                                   TSaleView& view) {
    return AddItem(salesId, previousSalesId, ProductItem(sid, barcode, quantity, caption), view);
}

TAddResult TSale::AddItem(int& salesId, int& previousSalesId, const TSaleItem& item,
                          TSaleView& view) {
    view.hideScannedProduct();
    if (item.stop) {
        Stop(salesId, item, view);
        return {};
    }
    const TRestrictionResult restriction =
        CheckSalesRestrictions(q1_, item.sid, salesId, item.quantity, now());
    std::optional<TAgeCheckRecord> ageCheck;
    switch (restriction.type) {
        case rsControlled:
            view.showControlledProduct(restriction.value);
            return {};
        case rsTime:
            view.showTimeRestricted();
            return {};
        case rsAge:
            ageCheck = CheckAge(salesId, item.sid, restriction.value, view);
            if (!ageCheck) return {};
            break;
        case rsNone:
            break;
    }

    if (salesId < 1) {
        salesId = int(CreateSale());
        previousSalesId = salesId;
    }
    if (ageCheck) {
        ageCheck->salesId = salesId;
        ages_.Record(*ageCheck);
    }
    const QString code = item.barcode.isEmpty() ? FirstBarcode(item.sid) : item.barcode;
    TProductInfo product = ReadProduct(item.sid);
    if (item.unitPrice) product.sp = *item.unitPrice;
    InsertLine(salesId, product, code, item.quantity);

    TAddResult result;
    result.added = true;
    result.panel.caption =
        AmpersandCaption(item.caption.isEmpty() ? product.description : item.caption);
    if (item.weighed)
        result.panel.quantityText = WeightLineText(item.quantity, product.sp);
    else if (item.quantity != 1)
        result.panel.quantityText = QuantityLineText(item.quantity, product.sp);
    result.panel.glyph = product.glyph;
    return result;
}

std::optional<TAgeCheckRecord> TSale::CheckAge(int salesId, int sid, int age, TSaleView& view) {
    TAgeCheckRecord record;
    record.salesId = salesId;
    record.sid = sid;
    record.age = age;
    if (const auto standing = ages_.ConfirmationFor(salesId, age)) {
        record.check = {TAgeOutcome::Confirmed, standing->userId};
        record.confirmationId = standing->checkId;
    } else {
        record.check = view.confirmAge(age);
    }
    // The time of the product's own check, also when it stands on an earlier confirmation.
    record.time = now();
    if (record.check.outcome == TAgeOutcome::Confirmed) return record;
    ages_.Record(record);
    return std::nullopt;
}

qint64 TSale::CreateSale() {
    const qint64 id = NextId(q1_, QStringLiteral("GEN_SALES_ID"), QStringLiteral("SALES_ID"),
                             QStringLiteral("TBL_SALES_HEADERS"));
    q1_.close();
    q1_.setSQL(
        QStringLiteral("insert into TBL_SALES_HEADERS\r\n"
                       " (SALES_ID, GUID, SALE_START, SALE_END) values\r\n"
                       " (:SALES_ID, :GUID, :SALE_START, :SALE_END)"));
    q1_.bind(QStringLiteral("SALES_ID"), id);
    q1_.bind(QStringLiteral("GUID"), NewGuidText());
    // Bound as a timestamp: the kiosk's date-time text would lose the milliseconds.
    q1_.bind(QStringLiteral("SALE_START"), now());
    q1_.bind(QStringLiteral("SALE_END"), fb::Value());
    q1_.execSQL();
    return id;
}

QString TSale::FirstBarcode(int sid) {
    q1_.close();
    q1_.setSQL(QStringLiteral("select first 1 BARCODE from TBL_BARCODES where SID = :SID"));
    q1_.bind(QStringLiteral("SID"), sid);
    q1_.open();
    const QString barcode = q1_.eof() ? QString() : q1_.field(0).toString();
    q1_.close();
    return barcode;
}

TProductInfo TSale::ReadProduct(int sid) {
    q1_.close();
    q1_.setSQL(QStringLiteral("select * from TBL_PRODUCTS where SID = :SID"));
    q1_.bind(QStringLiteral("SID"), sid);
    q1_.open();
    TProductInfo product;
    product.sid = sid;
    if (!q1_.eof()) {
        product.found = true;
        product.description = q1_.field("DESCRIPTION").toString();
        product.sku = q1_.field("SKU").toInt64();
        product.deptId = q1_.field("DEPT_ID").toInt();
        product.vatRate = q1_.field("VAT_RATE").toDouble();
        product.sp = q1_.field("SP").toDouble();
        product.glyph = q1_.field("BGLYPH").toString();
    }
    q1_.close();
    return product;
}

void TSale::InsertLine(qint64 salesId, const TProductInfo& product, const QString& barcode,
                       double quantity) {
    q1_.close();
    q1_.setSQL(QStringLiteral(
        "insert into TBL_SALES_LINES\r\n"
        "(SALES_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE, SALES_QTY, SALES_AMT, VAT_RATE) "
        "values\r\n"
        "(:SALES_ID, :DEPT_ID, :SID, :SKU, :PRODUCT, :BARCODE, :SALES_QTY, :SALES_AMT, "
        ":VAT_RATE)"));
    q1_.bind(QStringLiteral("SALES_ID"), salesId);
    q1_.bind(QStringLiteral("DEPT_ID"), product.deptId);
    q1_.bind(QStringLiteral("SID"), product.sid);
    q1_.bind(QStringLiteral("SKU"), product.sku);
    q1_.bind(QStringLiteral("PRODUCT"), product.description);
    q1_.bind(QStringLiteral("BARCODE"), barcode);
    q1_.bind(QStringLiteral("SALES_QTY"), quantity);
    q1_.bind(QStringLiteral("SALES_AMT"), quantity * product.sp);
    q1_.bind(QStringLiteral("VAT_RATE"), product.vatRate);
    q1_.execSQL();
}

TSaleTotals TSale::ReadTotals(qint64 salesId) {
    TSaleTotals totals;
    q1_.close();
    q1_.setSQL(QStringLiteral("select * from TBL_SALES_HEADERS where SALES_ID = :SID"));
    q1_.bind(QStringLiteral("SID"), salesId);
    q1_.open();
    if (!q1_.eof())
        totals.subTotal = q1_.field("GROSS").toDouble() - q1_.field("DISCOUNT").toDouble();
    totals.subTotalText = MoneyText(totals.subTotal);

    q1_.close();
    q1_.setSQL(QStringLiteral(
        "select sum(SALES_QTY) from TBL_SALES_HEADERS h\r\n"
        "  left join TBL_SALES_LINES l on l.SALES_ID = h.SALES_ID and l.STATUS < 10\r\n"
        " where h.SALES_ID = :SID\r\n"
        " group by GROSS"));
    q1_.bind(QStringLiteral("SID"), salesId);
    q1_.open();
    if (!q1_.eof()) totals.itemCount = int(qRound64(q1_.field(0).toDouble()));
    q1_.close();
    return totals;
}

void TSale::LoadLines(qint64 salesId, TMemTable& cdsTX,
                      const std::function<QString(int sid)>& promoMarker) {
    cdsTX.setFields(SaleLineFields());
    cdsTX.clear();
    const auto cut = [](const QString& text) { return text.left(kProductTextWidth); };

    q2_.close();
    q2_.setSQL(
        QStringLiteral("select SALES_LINE_ID, SID, SALES_QTY, PRODUCT, SALES_AMT\r\n"
                       "  from TBL_SALES_LINES\r\n"
                       " where STATUS < 20 and SALES_ID = :SID"));
    q2_.bind(QStringLiteral("SID"), salesId);
    CopyDSToMemDS(q2_, cdsTX, {}, {}, [&](fb::Query& source, const QString& field, QString& text) {
        if (field == kProduct) {
            text = cut(source.field(kProduct).toString());
            return true;
        }
        if (field == kPromoMarker) {
            const int sid = source.field("SID").toInt();
            if (sid <= 0 || !promoMarker) return false;
            text = promoMarker(sid).left(1);
            return true;
        }
        return false;
    });

    q2_.close();
    q2_.setSQL(
        QStringLiteral("select p.DESCRIPTION, sum(h.ORIGINAL_VALUE-h.DISCOUNTED_VALUE) as VAL from "
                       "TBL_PROMO_HITS h\r\n"
                       "  left join TBL_PROMOTIONS p on p.PROMO_ID = h.PROMO_ID\r\n"
                       " where h.SALES_ID = :SID\r\n"
                       " group by p.DESCRIPTION, h.PROMO_ID, h.HIT_NUMBER"));
    q2_.bind(QStringLiteral("SID"), salesId);
    q2_.open();
    if (!q2_.eof()) cdsTX.append();
    for (; !q2_.eof(); q2_.next()) {
        const int row = cdsTX.append();
        cdsTX.set(row, kProduct, cut(q2_.field("DESCRIPTION").toString()));
        cdsTX.set(row, QStringLiteral("SALES_AMT"), -q2_.field("VAL").toDouble());
    }
    q2_.close();
}

void TSale::VoidLine(qint64 salesLineId) {
    q1_.close();
    q1_.setSQL(QStringLiteral("update TBL_SALES_LINES set STATUS = 20 where SALES_LINE_ID = :LID"));
    q1_.bind(QStringLiteral("LID"), salesLineId);
    q1_.execSQL();
}

void TSale::VoidSale(qint64 salesId) {
    q1_.close();
    q1_.setSQL(QStringLiteral(
        "update TBL_SALES_HEADERS set SALE_END = :DAT, STATUS = 20 where SALES_ID = :SID"));
    q1_.bind(QStringLiteral("DAT"), now());
    q1_.bind(QStringLiteral("SID"), salesId);
    q1_.execSQL();
}

void TSale::VoidTransaction(int& salesId, int& previousSalesId) {
    VoidSale(salesId);
    salesId = -1;
    previousSalesId = -1;
}

qint64 TSale::LookupBarcode(const QString& text, QString& description) {
    description.clear();
    qint64 sid = -1;
    // Any failure here only means the code is not found.
    try {
        q2_.close();
        q2_.setSQL(
            QStringLiteral("select * from TBL_BARCODES b\r\n"
                           "  left join TBL_PRODUCTS p on p.SID = b.SID\r\n"
                           " where cast(b.BARCODE as Numeric(18,0)) = :BC"));
        q2_.bind(QStringLiteral("BC"), TextToInt(CleanBarcode(text), 0));
        q2_.open();
        if (!q2_.eof()) {
            sid = FirstField(q2_, QStringLiteral("SID")).toInt64();
            description = q2_.field("DESCRIPTION").toString();
        }
    } catch (const std::exception& error) {
        LogTurnedError(QStringLiteral("Barcode lookup"), error);
        sid = -1;
        description.clear();
    }
    q2_.close();
    if (sid > 0) return sid;
    description.clear();
    return -1;
}

void TSale::Stop(int salesId, const TSaleItem& item, TSaleView& view) {
    TStopRecord record;
    record.salesId = salesId;
    record.sid = item.sid;
    record.gtin = item.gtin;
    record.batch = item.batch;
    record.reason = *item.stop;
    record.time = now();
    stops_.Record(record);
    WriteLog(QStringLiteral("Stopped at the scan (%1): product %2, GTIN %3, batch %4")
                 .arg(StopReasonName(record.reason), QString::number(record.sid), record.gtin,
                      record.batch),
             0);
    view.showStopped(StopText(record.reason));
}

std::optional<TSaleItem> TSale::ScanBarcode(const QString& text) {
    const TScanSettings settings = ReadScanSettings(q1_);
    const QDate today = now().date();
    const TScannedCode code = ReadScannedCode(text, settings.separatorSubstitute, today);
    switch (code.kind) {
        case TScannedCode::Kind::Plain:
            return ScanPlain(code.plain, today);
        case TScannedCode::Kind::Gs1:
            return ScanGs1(code.gs1, settings, today);
        case TScannedCode::Kind::Misread:
            break;
    }
    WriteLog(QStringLiteral("Barcode misread: %1 (%2)").arg(text, code.fault), 0);
    return std::nullopt;
}

std::optional<TSaleItem> TSale::ScanPlain(const TProductCode& code, const QDate& today) {
    TSaleItem item;
    item.barcode = code.digits;
    // Stored data keeps working as it always did: the code's own value is looked up first.
    qint64 sid = LookupBarcode(code.digits, item.caption);
    QString gtin = sid > 0 ? Gtin14(code.digits) : QString();
    for (const QString& alternative : code.alternatives) {
        if (sid > 0) break;
        sid = LookupBarcode(alternative, item.caption);
        gtin = Gtin14(alternative);
    }
    if (sid > 0) {
        item.sid = int(sid);
        item.gtin = gtin;
        CheckRecall(item, nullptr, today);
        return item;
    }
    if (std::optional<TSaleItem> label = LookupLabel(code.digits)) return label;
    if (code.isGtin() && !code.checkDigitValid)
        WriteLog(QStringLiteral("Barcode misread: %1 has a wrong check digit").arg(code.digits), 0);
    return std::nullopt;
}

std::optional<TSaleItem> TSale::ScanGs1(const TGs1Code& code, const TScanSettings& settings,
                                        const QDate& today) {
    TSaleItem item;
    item.barcode = code.gtin;
    item.gtin = code.gtin;
    item.batch = code.batch;
    const qint64 sid = LookupBarcode(code.gtin, item.caption);
    if (sid <= 0) return std::nullopt;
    item.sid = int(sid);
    if (const QString fault = TakeMeasure(code, item); !fault.isEmpty()) {
        WriteLog(QStringLiteral("Barcode misread: GTIN %1 %2").arg(code.gtin, fault), 0);
        return std::nullopt;
    }
    item.stop = DateStop(code, settings.stopBestBefore, today);
    if (!item.stop) CheckRecall(item, &code, today);
    return item;
}

void TSale::CheckRecall(TSaleItem& item, const TGs1Code* code, const QDate& today) {
    if (const std::optional<QString> recall = stops_.Recall(item.gtin, code, today)) {
        item.stop = TStopReason::Recall;
        WriteLog(QStringLiteral("Recall of GTIN %1: %2").arg(item.gtin, *recall), 0);
    }
}

std::optional<TSaleItem> TSale::LookupLabel(const QString& digits) {
    const QString prefix = InStorePrefix(digits);
    if (prefix.isEmpty()) return std::nullopt;
    std::optional<TSaleItem> item;
    // As with every scan lookup, a failure only means the code is not found.
    try {
        q2_.close();
        q2_.setSQL(QStringLiteral("select TYP, VCK from TBL_PRICE_CODES where PFX = :PFX"));
        q2_.bind(QStringLiteral("PFX"), prefix);
        q2_.open();
        if (q2_.eof()) {
            q2_.close();
            return std::nullopt;
        }
        const TEmbeddedCodeLayout layout{q2_.field(0).toString() == QLatin1String("W"),
                                         q2_.field(1).toString() == QLatin1String("Y")};
        q2_.close();
        const std::optional<TEmbeddedValue> embedded = ReadEmbeddedValue(digits, layout);
        if (!embedded || embedded->value <= 0) return std::nullopt;
        q2_.setSQL(QStringLiteral(
            "select first 1 SID, DESCRIPTION, SP from TBL_PRODUCTS where SKU = :SKU order by SID"));
        q2_.bind(QStringLiteral("SKU"), embedded->itemNumber);
        q2_.open();
        if (!q2_.eof() && q2_.field(0).toInt64() > 0) {
            item.emplace();
            item->sid = q2_.field(0).toInt();
            item->caption = q2_.field(1).toString();
            item->barcode = digits;
            if (layout.weight) {
                item->weighed = true;
                item->quantity = embedded->value / 1000.0;
            } else {
                item->unitPrice = embedded->value / 100.0;
            }
        }
    } catch (const std::exception& error) {
        LogTurnedError(QStringLiteral("Price label lookup"), error);
        item.reset();
    }
    q2_.close();
    return item;
}
