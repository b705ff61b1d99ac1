#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>

// The Windows registry export format ("Windows Registry Editor Version 5.00"), which each hive
// file of the settings store is written in: keys in brackets, then their values as "Name"="text",
// dword:, hex: or hex(n): lines. Parse and serialise only; where the file lives, how it is locked
// and what the values mean is the store's business.

namespace regfile {

// Registry value types, as numbered by Windows (hex(n) in the file).
enum RegType : uint {
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
};

struct RegValue {
    QString name;
    uint type = RegSz;
    QByteArray data;  // as Windows stores it: strings in UTF-16LE with a closing null
};

// The data of a string value, and the text of such data (without its closing nulls).
QByteArray stringData(const QString& text);
QString stringFromData(const QByteArray& data);

// Value names are matched regardless of case; values keep the order they were first written in.
struct RegKey {
    QString path;  // full path with its root, in the case first written
    QList<RegValue> values;

    const RegValue* value(const QString& name) const;
    bool setValue(const RegValue& value);  // true when the stored value changed
    bool removeValue(const QString& name);
};

// The keys of one hive file, kept in tree order (each key before its sub-keys, sub-keys in
// alphabetical order regardless of case, as the registry lists them). Paths are matched
// regardless of case.
class HiveDocument {
public:
    // Raises ERegistryException naming the file and the line when the text is not an export.
    static HiveDocument parse(const QByteArray& bytes, const QString& fileName);
    QByteArray serialize() const;

    const RegKey* find(const QString& path) const;
    RegKey* find(const QString& path);
    // The key, created with any missing parents.
    RegKey& ensure(const QString& path);
    // Removes the key and everything below it; true when there was such a key.
    bool removeTree(const QString& path);
    QStringList childNames(const QString& path) const;

private:
    using Keys = std::map<QStringList, RegKey>;
    Keys keys_;
    bool hasChildren(Keys::const_iterator it) const;
};

}  // namespace regfile
