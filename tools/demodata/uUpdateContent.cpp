#include "uUpdateContent.h"

#include <QSaveFile>
#include <stdexcept>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace demo {

namespace {

template <class Writer>
void Text(Writer& w, const char* key, const QString& value) {
    const QByteArray bytes = value.toUtf8();
    w.Key(key);
    w.String(bytes.constData(), rapidjson::SizeType(bytes.size()));
}

template <class Writer>
void Int(Writer& w, const char* key, int value) {
    w.Key(key);
    w.Int(value);
}

template <class Writer>
void Number(Writer& w, const char* key, double value) {
    w.Key(key);
    w.Double(value);
}

template <class Writer>
void OptionalInt(Writer& w, const char* key, const std::optional<int>& value) {
    if (value) Int(w, key, *value);
}

// Writes an array of objects, one per item, unless there are none.
template <class Writer, class Items, class WriteItem>
void List(Writer& w, const char* key, const Items& items, WriteItem&& writeItem) {
    if (items.empty()) return;
    w.Key(key);
    w.StartArray();
    for (const auto& item : items) {
        w.StartObject();
        writeItem(item);
        w.EndObject();
    }
    w.EndArray();
}

template <class Writer>
void WriteProduct(Writer& w, const Product& p) {
    Int(w, "sid", p.sid);
    Int(w, "sku", p.sku);
    Text(w, "dsc", p.dsc);
    Int(w, "did", p.did);
    Number(w, "rte", p.rte);
    Number(w, "sp", p.sp);
    OptionalInt(w, "bgr", p.bgr);
    OptionalInt(w, "bnr", p.bnr);
    if (!p.bgl.isEmpty()) Text(w, "bgl", p.bgl);
    OptionalInt(w, "bcl", p.bcl);
    List(w, "barcodes", p.barcodes, [&](const QString& code) { Text(w, "bar", code); });
}

template <class Writer>
void WriteRestriction(Writer& w, const Restriction& r) {
    Int(w, "id", r.id);
    Int(w, "type", r.type);
    OptionalInt(w, "lim", r.lim);
    OptionalInt(w, "age1", r.age1);
    List(w, "trading_hours", r.hours, [&](const TradingHours& h) {
        Int(w, "day", h.day);
        Number(w, "beg", DayNumber(QDate(1899, 12, 30), h.beg));
        Number(w, "end", DayNumber(QDate(1899, 12, 30), h.end));
    });
}

template <class Writer>
void WritePromotion(Writer& w, const Promotion& p) {
    Int(w, "pid", p.pid);
    Text(w, "dsc", p.dsc);
    Int(w, "vtp", p.vtp);
    Number(w, "beg", DayNumber(p.beg.date(), p.beg.time()));
    Number(w, "end", DayNumber(p.end.date(), p.end.time()));
    Number(w, "prc", p.prc);
    Number(w, "val", p.prc);
    Number(w, "dis", 0);
    Text(w, "day", p.day);
    List(w, "triggers", p.triggers, [&](const Trigger& t) {
        Int(w, "lin", t.lin);
        Int(w, "qty", t.qty);
    });
    List(w, "products", p.products, [&](const PromoProduct& pp) {
        Int(w, "sid", pp.sid);
        Int(w, "lin", pp.lin);
        Number(w, "prc", pp.prc);
    });
}

template <class Writer>
void WriteContent(Writer& w, const UpdateContent& c) {
    w.StartObject();
    Text(w, "site1", c.site1);
    Text(w, "site2", c.site2);
    Text(w, "phone", c.phone);
    Text(w, "vatno", c.vatno);
    List(w, "groups", c.groups, [&](const Group& g) {
        Int(w, "grp", g.grp);
        Text(w, "dsc", g.dsc);
        if (!g.glp.isEmpty()) Text(w, "glp", g.glp);
        Int(w, "btn", g.btn);
        Int(w, "clf", g.clf);
        Int(w, "clb", g.clb);
    });
    List(w, "users", c.users, [&](const User& u) {
        Int(w, "uid", u.uid);
        Text(w, "log", u.log);
        Text(w, "pas", u.pas);
        Number(w, "dob", DayNumber(u.dob));
        Text(w, "acc", u.acc);
    });
    List(w, "departments", c.departments, [&](const Department& d) {
        Int(w, "did", d.did);
        Text(w, "dsc", d.dsc);
        Number(w, "rte", d.rte);
        Text(w, "opn", d.opn);
        Int(w, "btn", d.btn);
        Text(w, "crd", d.crd);
        Text(w, "grp", d.grp);
    });
    List(w, "products", c.products, [&](const Product& p) { WriteProduct(w, p); });
    List(w, "restrictions", c.restrictions, [&](const Restriction& r) { WriteRestriction(w, r); });
    List(w, "promotions", c.promotions, [&](const Promotion& p) { WritePromotion(w, p); });
    if (!c.priceCodes.empty())
        List(w, "price_codes", c.priceCodes, [&](const PriceCode& p) {
            Text(w, "pfx", p.pfx);
            Text(w, "typ", p.typ);
            w.Key("vck");
            w.Bool(p.vck);
        });
    if (!c.recalls.empty())
        List(w, "recalls", c.recalls, [&](const Recall& r) {
            Text(w, "gtn", r.gtn);
            if (!r.bat.isEmpty()) Text(w, "bat", r.bat);
            Number(w, "beg", DayNumber(r.beg));
            Text(w, "dsc", r.dsc);
            w.Key("pln");
            w.Bool(r.pln);
        });
    w.EndObject();
}

}  // namespace

double DayNumber(const QDate& date, const QTime& time) {
    return double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

void WriteUpdateFile(const UpdateContent& content, const QString& path, bool pretty) {
    rapidjson::StringBuffer buffer;
    if (pretty) {
        rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
        writer.SetIndent(' ', 2);
        WriteContent(writer, content);
    } else {
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        WriteContent(writer, content);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(buffer.GetString(), qint64(buffer.GetSize())) != qint64(buffer.GetSize()) ||
        !file.commit()) {
        throw std::runtime_error(
            QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
    }
}

}  // namespace demo
