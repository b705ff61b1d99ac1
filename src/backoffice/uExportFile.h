#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <initializer_list>

#include "db/fbQuery.h"

class QIODevice;
class QSaveFile;

// The files the day end writes beside the day file (Export/<day>-<kind>.csv): one record a
// line, CR LF, fields as the day file writes them, each file read with one statement over the
// day's period. A day has all its files in place or none of them.

// Export/00000042-age.csv for the day 42 and the kind "age".
QString DayEndSideFileName(const QString& exportFolder, int dayEndId, const QString& kind);

// An integer field; empty for NULL, which the back office must tell from 0.
QByteArray WholeOrEmpty(const fb::Value& value);
// A text field, cleaned as in the day file; empty for NULL.
QByteArray TextField(const fb::Value& value);
// A date-time as the day file writes it: a day number with the time as its fraction.
QByteArray DayNumberField(const fb::Value& value);

// Appends the fields, separated by commas, as one CR LF line.
void AppendExportRecord(QByteArray& out, std::initializer_list<QByteArray> fields);

// Appends the record (or records) of the row the query stands on.
using TAppendRows = std::function<void(QByteArray& out, fb::Query& row)>;

// Runs sql over the period [:D1, :D2), appends the records of each row and writes them to the
// file. Database and write errors propagate.
void WriteExportRecords(fb::Query& q, QIODevice& file, const QString& sql, const QDateTime& from,
                        const QDateTime& to, const TAppendRows& appendRows);

// Puts the written files in place in the order given, the one the back office waits for last.
// When one cannot be, those already in place are removed again and the error is raised.
void CommitExportFiles(std::initializer_list<QSaveFile*> files);
