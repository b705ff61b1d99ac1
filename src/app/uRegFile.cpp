#include "app/uRegFile.h"

#include <QtEndian>
#include <algorithm>

#include "app/uTX32Reg.h"  // ERegistryException

using namespace Qt::StringLiterals;

namespace regfile {

namespace {

const QString FileHeader = QStringLiteral("Windows Registry Editor Version 5.00");

QStringList pathComponents(const QString& path) {
    return path.split(u'\\', Qt::SkipEmptyParts);
}

QStringList foldedComponents(const QString& path) {
    QStringList parts = pathComponents(path);
    for (QString& p : parts) p = p.toCaseFolded();
    return parts;
}

bool isUnder(const QStringList& key, const QStringList& ancestor) {
    return key.size() >= ancestor.size() &&
           std::equal(ancestor.begin(), ancestor.end(), key.begin());
}

}  // namespace

QByteArray stringData(const QString& text) {
    QByteArray data(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    data.append(2, '\0');
    return data;
}

QString stringFromData(const QByteArray& data) {
    QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
    while (text.endsWith(QChar(u'\0'))) text.chop(1);
    return text;
}

// ---- Keys --------------------------------------------------------------------------------

const RegValue* RegKey::value(const QString& name) const {
    for (const RegValue& v : values)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0) return &v;
    return nullptr;
}

bool RegKey::setValue(const RegValue& value) {
    for (RegValue& v : values) {
        if (v.name.compare(value.name, Qt::CaseInsensitive) != 0) continue;
        if (v.type == value.type && v.data == value.data) return false;
        v.type = value.type;
        v.data = value.data;
        return true;
    }
    values.append(value);
    return true;
}

bool RegKey::removeValue(const QString& name) {
    return values.removeIf([&](const RegValue& v) {
        return v.name.compare(name, Qt::CaseInsensitive) == 0;
    }) > 0;
}

const RegKey* HiveDocument::find(const QString& path) const {
    auto it = keys_.find(foldedComponents(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* HiveDocument::find(const QString& path) {
    auto it = keys_.find(foldedComponents(path));
    return it == keys_.end() ? nullptr : &it->second;
}

bool HiveDocument::hasChildren(Keys::const_iterator it) const {
    auto next = std::next(it);
    return next != keys_.end() && isUnder(next->first, it->first);
}

RegKey& HiveDocument::ensure(const QString& path) {
    const QStringList parts = pathComponents(path);
    if (parts.isEmpty()) throw ERegistryException("Empty registry key path");
    QStringList folded;
    Keys::iterator it;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        folded.append(parts[i].toCaseFolded());
        it = keys_.find(folded);
        if (it == keys_.end())
            it = keys_.emplace(folded, RegKey{parts.mid(0, i + 1).join(u'\\'), {}}).first;
    }
    return it->second;
}

bool HiveDocument::removeTree(const QString& path) {
    const QStringList folded = foldedComponents(path);
    auto first = keys_.find(folded);
    if (first == keys_.end()) return false;
    auto last = first;
    while (last != keys_.end() && isUnder(last->first, folded)) ++last;
    keys_.erase(first, last);
    return true;
}

QStringList HiveDocument::childNames(const QString& path) const {
    const QStringList folded = foldedComponents(path);
    QStringList names;
    for (auto it = keys_.upper_bound(folded); it != keys_.end() && isUnder(it->first, folded); ++it)
        if (it->first.size() == folded.size() + 1)
            names.append(pathComponents(it->second.path).last());
    return names;
}

namespace {

// ---- Reading the export format -----------------------------------------------------------

class HiveParser {
public:
    HiveParser(const QString& fileName) : fileName_(fileName) {}
    HiveDocument parse(const QByteArray& bytes);

private:
    [[noreturn]] void fail(const QString& why) const {
        throw ERegistryException(
            QStringLiteral("%1, line %2: %3").arg(fileName_).arg(line_).arg(why).toStdString());
    }
    void parseValue(const QString& line, RegKey& key);
    QString quoted(const QString& line, qsizetype& pos) const;
    QByteArray hexBytes(const QString& text) const;

    QString fileName_;
    int line_ = 0;
};

QString decodeHiveText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE"))  // regedit writes UTF-16LE
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

HiveDocument HiveParser::parse(const QByteArray& bytes) {
    HiveDocument doc;
    const QStringList lines = decodeHiveText(bytes).split(u'\n');
    bool headerSeen = false;
    RegKey* key = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        line_ = int(i + 1);
        QString line = lines[i].trimmed();
        // Long binary values run on over lines ending in a backslash.
        while (line.endsWith(u'\\') && !line.startsWith(u'[') && i + 1 < lines.size()) {
            line.chop(1);
            line += lines[++i].trimmed();
        }
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (!headerSeen) {
            if (line != FileHeader && line != u"REGEDIT4"_s) fail("not a registry export file");
            headerSeen = true;
        } else if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.startsWith(u"[-"_s)) fail("bad key line");
            key = &doc.ensure(line.mid(1, line.size() - 2));
        } else {
            if (!key) fail("value outside a key");
            parseValue(line, *key);
        }
    }
    return doc;
}

void HiveParser::parseValue(const QString& line, RegKey& key) {
    RegValue value;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else {
        value.name = quoted(line, pos);
    }
    if (pos >= line.size() || line[pos] != u'=') fail("'=' expected");
    const QString data = line.mid(pos + 1).trimmed();
    if (data.startsWith(u'"')) {
        qsizetype end = 0;
        const QString text = quoted(data, end);
        if (end != data.size()) fail("text after the closing quote");
        value.type = RegSz;
        value.data = stringData(text);
    } else if (data.startsWith(u"dword:"_s)) {
        bool ok = false;
        const QString digits = data.mid(6);
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8) fail("bad dword");
        value.type = RegDword;
        value.data.resize(4);
        qToLittleEndian<quint32>(number, value.data.data());
    } else if (data.startsWith(u"hex:"_s)) {
        value.type = RegBinary;
        value.data = hexBytes(data.mid(4));
    } else if (data.startsWith(u"hex("_s)) {
        const qsizetype close = data.indexOf(u"):"_s);
        bool ok = false;
        value.type = data.mid(4, close - 4).toUInt(&ok, 16);
        if (close < 0 || !ok) fail("bad value type");
        value.data = hexBytes(data.mid(close + 2));
    } else {
        fail("unknown kind of value");
    }
    key.setValue(value);
}

// The text between the double quotes starting at pos, with \\ and \" unescaped; pos moves
// past the closing quote.
QString HiveParser::quoted(const QString& line, qsizetype& pos) const {
    if (pos >= line.size() || line[pos] != u'"') fail("'\"' expected");
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return text;
        }
        if (c == u'\\' && pos + 1 < line.size()) c = line[++pos];
        text += c;
    }
    fail("missing closing quote");
}

QByteArray HiveParser::hexBytes(const QString& text) const {
    QByteArray bytes;
    if (text.trimmed().isEmpty()) return bytes;
    for (const QString& part : text.split(u',')) {
        bool ok = false;
        const uint byte = part.trimmed().toUInt(&ok, 16);
        if (!ok || byte > 0xFF) fail("bad hex byte");
        bytes.append(char(byte));
    }
    return bytes;
}

}  // namespace

HiveDocument HiveDocument::parse(const QByteArray& bytes, const QString& fileName) {
    return HiveParser(fileName).parse(bytes);
}

namespace {

// ---- Writing the export format -----------------------------------------------------------

QString quotedText(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + escaped + u'"';
}

bool isPlainText(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
}

QString hexText(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += (i % 25 == 0) ? u",\\\r\n  "_s : u","_s;
        text += QStringLiteral("%1").arg(uint(uchar(bytes[i])), 2, 16, QChar(u'0'));
    }
    return text;
}

QString valueText(const RegValue& v) {
    if (v.type == RegSz && v.data.size() % 2 == 0 && v.data.endsWith(QByteArray(2, '\0'))) {
        const QString text = stringFromData(v.data);
        // A text with line breaks would break the line format: it goes as hex(1) instead.
        if (isPlainText(text) && stringData(text) == v.data) return quotedText(text);
    }
    if (v.type == RegDword && v.data.size() == 4)
        return QStringLiteral("dword:%1")
            .arg(qFromLittleEndian<quint32>(v.data.constData()), 8, 16, QChar(u'0'));
    if (v.type == RegBinary) return u"hex:"_s + hexText(v.data);
    return QStringLiteral("hex(%1):").arg(v.type, 0, 16) + hexText(v.data);
}

}  // namespace

QByteArray HiveDocument::serialize() const {
    QString text = FileHeader + u"\r\n\r\n"_s;
    for (auto it = keys_.begin(); it != keys_.end(); ++it) {
        const RegKey& key = it->second;
        // A key without values is implied by its sub-keys.
        if (key.values.isEmpty() && hasChildren(it)) continue;
        text += u'[' + key.path + u"]\r\n"_s;
        for (const RegValue& v : key.values)
            text +=
                (v.name.isEmpty() ? u"@"_s : quotedText(v.name)) + u'=' + valueText(v) + u"\r\n"_s;
        text += u"\r\n"_s;
    }
    return text.toUtf8();
}

}  // namespace regfile
