#include "app/uMemTable.h"

#include <stdexcept>

void TMemTable::setFields(const QStringList& fields) {
    fields_ = fields;
    index_.clear();
    for (int i = 0; i < fields.size(); ++i) index_.insert(fields[i].toUpper(), i);
    rows_.clear();
}

int TMemTable::append() {
    rows_.emplace_back(size_t(fields_.size()));
    return int(rows_.size()) - 1;
}

void TMemTable::set(int row, const QString& field, const fb::Value& value) {
    const int column = fieldIndex(field);
    if (column < 0) throw std::runtime_error(("Field '" + field + "' not found").toStdString());
    rows_.at(size_t(row))[size_t(column)] = value;
}

const fb::Value& TMemTable::value(int row, const QString& field) const {
    const int column = fieldIndex(field);
    if (column < 0) throw std::runtime_error(("Field '" + field + "' not found").toStdString());
    return rows_.at(size_t(row))[size_t(column)];
}
