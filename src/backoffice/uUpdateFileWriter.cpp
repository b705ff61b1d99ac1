#include "backoffice/uUpdateFileWriter.h"

#include <QStringList>

#include "app/uLog.h"
#include "db/fbError.h"
#include "db/fbQuery.h"
#include "sale/uBarcodes.h"

using namespace Qt::StringLiterals;

namespace updatefile {
namespace {

// A log entry stays on one line even when the database's message has several (the engine
// starts each further line with "-").
QString OneLine(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines) {
        line = line.trimmed();
        if (line.startsWith(u'-')) line = line.mid(1).trimmed();
    }
    lines.removeAll(QString());
    return lines.join(u"; "_s);
}

// ---- Statements --------------------------------------------------------------------------

const QString kUpdateSetup =
    u"update TBL_SETUP set\r\n  OUR_ADD1 = :A1, \r\n  OUR_ADD2 = :A2, \r\n  OUR_PHONE = :PHONE, "
    "\r\n  OUR_VATNO = :VATNO \r\n where SETUP_ID = 1"_s;

const char* const kMasterTables[] = {
    "TBL_USERS",       "TBL_SALES_RESTRICTIONS", "TBL_BARCODES",       "TBL_PRODUCTS",
    "TBL_DEPARTMENTS", "TBL_PRODUCT_GROUPS",     "TBL_PROMO_PRODUCTS", "TBL_PROMO_TRIGGERS",
    "TBL_PROMOTIONS",  "TBL_PRICE_CODES",        "TBL_RECALLS"};

const QString kInsertGroup =
    u"insert into TBL_PRODUCT_GROUPS\r\n  (PRODUCT_GROUP, DESCRIPTION, GLYPH, PRODUCT_GROUP_NO, "
    "FCOL, BCOL) values \r\n  (:PRODUCT_GROUP, :DESCRIPTION, :GLYPH, :PRODUCT_GROUP_NO, :FCOL, "
    ":BCOL)"_s;

const QString kInsertUser =
    u"insert into TBL_USERS\r\n  (USER_ID, LOGIN_NAME, POS_PASS, DOB, ACCESS) values \r\n  "
    "(:UID, :NAM, :PAS, :DOB, :ACC)"_s;

const QString kInsertDepartment =
    u"insert into TBL_DEPARTMENTS\r\n  (DEPT_ID, DESCRIPTION, VAT_RATE, OPEN_DEPT, BUTTON, "
    "CARD_CODE, GROUP_CODE) values \r\n  (:DEPT_ID, :DESCRIPTION, :VAT_RATE, :OPEN_DEPT, "
    ":BUTTON, :CARD_CODE, :GROUP_CODE)"_s;

const QString kInsertProduct =
    u"insert into TBL_PRODUCTS\r\n  (SID, SKU, DESCRIPTION, DEPT_ID, SP, BGROUP, BNUMBER, "
    "BGLYPH, BCOLOUR,\r\n  VAT_RATE, CARD_CODE, VENDING_CODE, STATUS) values \r\n  (:SID, :SKU, "
    ":DESCRIPTION, :DEPT_ID, :SP, :BGROUP, :BNUMBER, :BGLYPH, :BCOLOUR,\r\n   :VAT_RATE, "
    ":CARD_CODE, :VENDING_CODE, :STATUS);"_s;

const QString kInsertBarcode =
    u"insert into TBL_BARCODES\r\n  (SID, BARCODE, CODE_TYPE) values \r\n  (:SID, :BARCODE, "
    ":CODE_TYPE);"_s;

const QString kInsertProductLimit =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, SID, REST_VALUE) values \r\n (:TYP, "
    ":SID, :VAL)"_s;

const QString kInsertDepartmentAge =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, DEPT_ID, REST_VALUE) values \r\n (:TYP, "
    ":DID, :VAL)"_s;

const QString kInsertTradingHours =
    u"insert into TBL_SALES_RESTRICTIONS\r\n (REST_TYPE, DEPT_ID, REST_DAY, REST_START, "
    "REST_END) values \r\n (:TYP, :DID, :DAY, :BEG, :END)"_s;

const QString kInsertPromotion =
    u"insert into TBL_PROMOTIONS\r\n (PROMO_ID, DESCRIPTION, PROMO_TYPE, START_DATE, END_DATE, "
    "PROMO_PRICE,\r\n   PROMO_VALUE, PROMO_DISC, START_TIME, END_TIME, ACTIVE_DAYS) values \r\n "
    "(:PID, :DSC, :TYP, :SDT, :EDT, :PRC, :VAL, :DIS, :STM, :ETM, :DAY)"_s;

const QString kInsertTrigger =
    u"insert into TBL_PROMO_TRIGGERS\r\n (PROMO_ID, LINE_NO, TRIGGER_QTY) values \r\n (:PID, "
    ":LIN, :QTY)"_s;

const QString kInsertPriceCode =
    u"insert into TBL_PRICE_CODES (PFX, TYP, VCK) values (:PFX, :TYP, :VCK)"_s;

const QString kInsertRecall =
    u"insert into TBL_RECALLS (GTIN, BATCH, SERIAL_FROM, SERIAL_TO, FROM_DATE, DESCRIPTION, "
    "PLAIN_CODES)\r\n values (:GTIN, :BAT, :SRF, :SRT, :BEG, :DSC, :PLN)"_s;

const QString kInsertPromoProduct =
    u"insert into TBL_PROMO_PRODUCTS\r\n (PROMO_ID, LINE_NO, SID, PRICE) values \r\n (:PID, "
    ":LIN, :SID, :PRC)"_s;

// ---- Writing -----------------------------------------------------------------------------

template <class T>
fb::Value Nullable(const std::optional<T>& value) {
    return value ? fb::Value(*value) : fb::Value();
}

// Runs work; a refusal of the database becomes a fault naming what was being written.
template <class Where, class Work>
void Naming(Where&& where, Work&& work) {
    try {
        work();
    } catch (const fb::Error& error) {
        Fail(where() + u": "_s + OneLine(error.message()));
    }
}

// The scan lookup compares barcodes as numbers, so the database takes digits only.
QString BarcodeRefusal(const fb::Error& error) {
    const QString message = OneLine(error.message());
    if (!message.contains(u"CK_BARCODES_DIGITS"_s)) return message;
    return u"a barcode is 1 to 18 digits (%1)"_s.arg(message);
}

QString ElementText(const char* list, size_t index, const char* idKey, qint64 id) {
    return u"%1 element %2 (%3 %4)"_s.arg(QLatin1StringView(list), QString::number(index + 1),
                                          QLatin1StringView(idKey), QString::number(id));
}

// Empties the master tables and fills them from an update file, in the caller's transaction.
// Each statement text is prepared once and executed per row with fresh values; every value of a
// row is bound, so nothing is carried over from the row before.
class MasterDataWriter {
public:
    MasterDataWriter(fb::Transaction& transaction, const std::function<void()>& keepAlive)
        : transaction_(transaction), keepAlive_(keepAlive) {}

    void replace(const UpdateFile& file) {
        emptyTables();
        writeSite(file.site);
        writeRows(kInsertGroup, file.groups, "groups", "grp", [](fb::Query& q, const GroupRow& g) {
            q.bind(u"PRODUCT_GROUP"_s, g.group).bind(u"DESCRIPTION"_s, g.description);
            q.bind(u"GLYPH"_s, Nullable(g.glyph)).bind(u"PRODUCT_GROUP_NO"_s, g.number);
            q.bind(u"FCOL"_s, g.fontColour).bind(u"BCOL"_s, g.buttonColour);
            return g.group;
        });
        writeRows(kInsertUser, file.users, "users", "uid", [](fb::Query& q, const UserRow& u) {
            q.bind(u"UID"_s, u.id).bind(u"NAM"_s, u.name).bind(u"PAS"_s, u.posPass);
            q.bind(u"DOB"_s, u.dob).bind(u"ACC"_s, u.access);
            return u.id;
        });
        writeRows(kInsertDepartment, file.departments, "departments", "did",
                  [](fb::Query& q, const DepartmentRow& d) {
                      q.bind(u"DEPT_ID"_s, d.id).bind(u"DESCRIPTION"_s, d.description);
                      q.bind(u"VAT_RATE"_s, d.vatRate).bind(u"OPEN_DEPT"_s, d.open);
                      q.bind(u"BUTTON"_s, d.button).bind(u"CARD_CODE"_s, d.cardCode);
                      q.bind(u"GROUP_CODE"_s, d.groupCode);
                      return d.id;
                  });
        writeProducts(file.products);
        writeRestrictions(file.restrictions);
        writePromotions(file.promotions);
        writeRows(kInsertPriceCode, file.priceCodes, "price_codes", "pfx",
                  [](fb::Query& q, const PriceCodeRow& p) {
                      q.bind(u"PFX"_s, p.prefix).bind(u"TYP"_s, p.weight ? u"W"_s : u"P"_s);
                      q.bind(u"VCK"_s, p.verifier ? u"Y"_s : u"N"_s);
                      return qint64(p.prefix.toInt());
                  });
        writeRows(kInsertRecall, file.recalls, "recalls", "gtn",
                  [](fb::Query& q, const RecallRow& r) {
                      q.bind(u"GTIN"_s, r.gtin).bind(u"BAT"_s, Nullable(r.batch));
                      q.bind(u"SRF"_s, Nullable(r.serialFrom));
                      q.bind(u"SRT"_s, Nullable(r.serialTo)).bind(u"BEG"_s, r.from);
                      q.bind(u"DSC"_s, r.description);
                      q.bind(u"PLN"_s, r.plainCodes ? u"Y"_s : u"N"_s);
                      return r.gtin.toLongLong();
                  });
    }

private:
    // The screen is kept alive every few hundred rows, not after each: pumping events costs
    // more than an insert.
    static constexpr int kRowsPerKeepAlive = 250;

    void run(fb::Query& query) {
        query.execSQL();
        if (++rows_ % kRowsPerKeepAlive == 0) keepAlive();
    }
    void keepAlive() const {
        if (keepAlive_) keepAlive_();
    }

    struct NoDetails {
        template <class Row>
        void operator()(const Row&, size_t) const {}
    };

    // Inserts one row per element of a section: bind binds the element's values and returns
    // its key, details then writes the rows that belong to the element (a promotion's lines, say).
    template <class Row, class Bind, class Details = NoDetails>
    void writeRows(const QString& sql, const std::vector<Row>& rows, const char* list,
                   const char* idKey, Bind&& bind, Details&& details = {}) {
        fb::Query q(transaction_);
        q.setSQL(sql);
        for (size_t i = 0; i < rows.size(); ++i) {
            qint64 id = 0;
            Naming([&] { return ElementText(list, i, idKey, id); },
                   [&] {
                       id = bind(q, rows[i]);
                       run(q);
                       details(rows[i], i);
                   });
        }
    }

    void emptyTables() {
        fb::Query q(transaction_);
        for (const char* table : kMasterTables) {
            Naming([&] { return u"emptying %1"_s.arg(QLatin1StringView(table)); },
                   [&] {
                       q.setSQL(u"delete from %1"_s.arg(QLatin1StringView(table)));
                       q.execSQL();
                   });
            keepAlive();
        }
    }

    void writeSite(const SiteDetails& site) {
        Naming([] { return u"site details"_s; },
               [&] {
                   fb::Query q(transaction_);
                   q.setSQL(kUpdateSetup);
                   q.bind(u"A1"_s, site.add1).bind(u"A2"_s, site.add2);
                   q.bind(u"PHONE"_s, site.phone).bind(u"VATNO"_s, site.vatNo);
                   q.execSQL();
               });
    }

    // The products first, then their barcodes: each table's rows and index pages are written
    // in one run, as a bulk insert writes them (barcodes between products cost the engine more).
    void writeProducts(const std::vector<ProductRow>& products) {
        writeRows(kInsertProduct, products, "products", "sid",
                  [](fb::Query& q, const ProductRow& p) {
                      q.bind(u"SID"_s, p.sid).bind(u"SKU"_s, p.sku);
                      q.bind(u"DESCRIPTION"_s, p.description).bind(u"DEPT_ID"_s, p.dept);
                      q.bind(u"SP"_s, p.price).bind(u"BGROUP"_s, Nullable(p.group));
                      q.bind(u"BNUMBER"_s, Nullable(p.number)).bind(u"BGLYPH"_s, Nullable(p.glyph));
                      q.bind(u"BCOLOUR"_s, Nullable(p.colour)).bind(u"VAT_RATE"_s, p.vatRate);
                      q.bind(u"CARD_CODE"_s, Nullable(p.cardCode));
                      q.bind(u"VENDING_CODE"_s, Nullable(p.vendingCode)).bind(u"STATUS"_s, 0);
                      return p.sid;
                  });
        fb::Query barcode(transaction_);
        barcode.setSQL(kInsertBarcode);
        for (size_t i = 0; i < products.size(); ++i) writeBarcodes(barcode, products[i], i);
    }

    void writeBarcodes(fb::Query& barcode, const ProductRow& p, size_t i) {
        for (const QString& code : p.barcodes) {
            // Kept as it stands: the shop may know the product by this very code.
            if (GtinCheckDigitWrong(code))
                WriteLog(u"Import: "_s + ElementText("products", i, "sid", p.sid) +
                             u", barcode \"%1\": the check digit is wrong"_s.arg(code),
                         0);
            try {
                barcode.bind(u"SID"_s, p.sid).bind(u"BARCODE"_s, code);
                barcode.bind(u"CODE_TYPE"_s, 0);
                run(barcode);
            } catch (const fb::Error& error) {
                Fail(ElementText("products", i, "sid", p.sid) +
                     u", barcode \"%1\": %2"_s.arg(code, BarcodeRefusal(error)));
            }
        }
    }

    void writeRestrictions(const std::vector<RestrictionRow>& restrictions) {
        fb::Query limit(transaction_);
        limit.setSQL(kInsertProductLimit);
        fb::Query age(transaction_);
        age.setSQL(kInsertDepartmentAge);
        fb::Query hours(transaction_);
        hours.setSQL(kInsertTradingHours);
        for (const RestrictionRow& r : restrictions) {
            Naming([&] { return ElementText("restrictions", size_t(r.element - 1), "id", r.id); },
                   [&] {
                       if (r.type == 0) {
                           limit.bind(u"TYP"_s, r.type).bind(u"SID"_s, r.id);
                           limit.bind(u"VAL"_s, Nullable(r.value));
                           run(limit);
                       } else if (r.type == 3) {
                           hours.bind(u"TYP"_s, r.type).bind(u"DID"_s, r.id);
                           hours.bind(u"DAY"_s, Nullable(r.day));
                           hours.bind(u"BEG"_s, Nullable(r.start)).bind(u"END"_s, Nullable(r.end));
                           run(hours);
                       } else {
                           age.bind(u"TYP"_s, r.type).bind(u"DID"_s, r.id);
                           age.bind(u"VAL"_s, Nullable(r.value));
                           run(age);
                       }
                   });
        }
    }

    // Each promotion is followed by its trigger lines and their products.
    void writePromotions(const std::vector<PromotionRow>& promotions) {
        fb::Query trigger(transaction_);
        trigger.setSQL(kInsertTrigger);
        fb::Query product(transaction_);
        product.setSQL(kInsertPromoProduct);
        const auto writeLines = [&](const PromotionRow& p, size_t) {
            for (const TriggerRow& t : p.triggers) {
                trigger.bind(u"PID"_s, p.id).bind(u"LIN"_s, t.line).bind(u"QTY"_s, t.quantity);
                run(trigger);
            }
            for (const PromoProductRow& pp : p.products) {
                product.bind(u"PID"_s, p.id).bind(u"LIN"_s, pp.line);
                product.bind(u"SID"_s, pp.sid).bind(u"PRC"_s, pp.price);
                run(product);
            }
        };
        writeRows(
            kInsertPromotion, promotions, "promotions", "pid",
            [](fb::Query& q, const PromotionRow& p) {
                q.bind(u"PID"_s, p.id).bind(u"DSC"_s, p.description).bind(u"TYP"_s, p.type);
                q.bind(u"SDT"_s, p.start.date).bind(u"STM"_s, p.start.time);
                q.bind(u"EDT"_s, p.end.date).bind(u"ETM"_s, p.end.time);
                q.bind(u"PRC"_s, p.price).bind(u"VAL"_s, p.value);
                q.bind(u"DIS"_s, p.discount).bind(u"DAY"_s, p.days);
                return p.id;
            },
            writeLines);
    }

    fb::Transaction& transaction_;
    const std::function<void()>& keepAlive_;
    qint64 rows_ = 0;
};

}  // namespace

void ReplaceMasterData(fb::Transaction& transaction, const UpdateFile& file,
                       const std::function<void()>& keepAlive) {
    MasterDataWriter(transaction, keepAlive).replace(file);
    Naming([] { return u"committing"_s; }, [&] { transaction.commit(); });
}

}  // namespace updatefile
