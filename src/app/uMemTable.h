#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "db/fbValue.h"

// A small in-memory table: named fields and rows of values, read by the screens that show
// a copy of a query's rows.
class TMemTable {
public:
    TMemTable() = default;
    explicit TMemTable(const QStringList& fields) { setFields(fields); }

    void setFields(const QStringList& fields);
    const QStringList& fields() const { return fields_; }
    int fieldIndex(const QString& name) const { return index_.value(name.toUpper(), -1); }

    void clear() { rows_.clear(); }
    int rowCount() const { return int(rows_.size()); }
    // Appends an empty row and returns its number.
    int append();
    void set(int row, const QString& field, const fb::Value& value);
    const fb::Value& value(int row, const QString& field) const;
    const fb::Value& value(int row, int column) const {
        return rows_.at(size_t(row)).at(size_t(column));
    }

private:
    QStringList fields_;
    QHash<QString, int> index_;
    std::vector<std::vector<fb::Value>> rows_;
};
