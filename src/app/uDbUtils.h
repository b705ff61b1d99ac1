#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "app/uMemTable.h"
#include "db/fbQuery.h"

// Draws the next free id from a generator, skipping values already used in the table.
qint64 NextId(fb::Query& q, const QString& generator, const QString& idColumn,
              const QString& table);

// The first column of the first row of "select result from table where key = :key" as text;
// empty when there is no row or the value is NULL.
QString SelectValue(fb::Query& q, const QString& table, const QString& keyColumn,
                    const QString& resultColumn, int keyValue);

// Gives a target field a computed text instead of the copied value when it returns true.
using CopyFieldCallback =
    std::function<bool(fb::Query& source, const QString& field, QString& text)>;

// Replaces the rows of the in-memory table by the rows of the query.
void CopyDSToMemDS(fb::Query& source, TMemTable& target, const QStringList& sourceFields = {},
                   const QStringList& targetFields = {}, const CopyFieldCallback& callback = {});

// The text of an error for the log: its message, and for a database error the engine's status
// codes and SQLSTATE, so a lost database reads as such ("... [codes 335544344; SQLSTATE 08001]").
QString ErrorLogText(const std::exception& error);

// Logs an error that the caller turns into a result (a lookup that finds nothing) at level 0:
// "<what> failed: " + ErrorLogText(error).
void LogTurnedError(const QString& what, const std::exception& error) noexcept;
