#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// Text, number, money and date-time routines shared by the whole kiosk. Money and float texts
// follow the regional settings of QLocale().

// ---- Tokens ------------------------------------------------------------------------------
// A text is split into fields at every occurrence of a separator. The current separator is
// the top of a stack ("@" when the stack is empty); callers push theirs, or hold a
// ScopedSeparator, around their token calls.

void PushSeparator(const QString& separator);
void PopSeparator();  // no effect on an empty stack

// Pushes a separator for the life of the object.
class ScopedSeparator {
public:
    explicit ScopedSeparator(const QString& separator) { PushSeparator(separator); }
    ~ScopedSeparator() { PopSeparator(); }
    ScopedSeparator(const ScopedSeparator&) = delete;
    ScopedSeparator& operator=(const ScopedSeparator&) = delete;
};

// Number of fields: one more than the number of separators, read from the left without
// overlap (an empty text has one field; "a^^b" has three with "^"). An empty separator makes
// the whole text one field.
int TokenCount(const QString& text);
int TokenCount(const QString& text, const QString& separator);

// Field number index (from 0); empty when index is not below TokenCount.
QString GetToken(int index, const QString& text);
QString GetToken(int index, const QString& text, const QString& separator);

// ---- Numbers and texts -------------------------------------------------------------------

// With cut set, first keeps only the first width characters; then prepends pad up to width.
QString PadLeft(const QString& text, int width, QChar pad = u'0', bool cut = false);
QString IntText(qint64 value);
qint64 TextToInt(const QString& text, qint64 defaultValue = 0);  // decimal, else the default
bool IsYes(const QString& text);                                 // exactly "Y" or "y"
QString CleanCsvField(const QString& text);  // double quotes, apostrophes, commas → spaces
// A key's caption as it is read: mnemonic marks gone ("&Yes" is "Yes", "&&" is "&"), white
// space simplified.
QString PlainCaption(const QString& caption);

// General format with up to 15 significant digits, the regional decimal separator and no
// group separators: the text of floats in the settings store and in file lists.
QString FloatText(double value);

// White (16777215) for a dark Windows colour value (0x00BBGGRR), black (0) for a light one.
int ContrastColour(int colour);

// WCAG 2.1 relative luminance of a Windows colour value: 0 for black, 1 for white.
double RelativeLuminance(int colour);
// WCAG 2.1 contrast ratio of two Windows colour values: 1 (equal) to 21 (black on white).
double ContrastRatio(int first, int second);
// The caption colour for text on the colour: black (0) or white (16777215), whichever has the
// higher contrast ratio on it (never below 4.58:1). Unlike ContrastColour, which weighs the
// channels by brightness, this follows the WCAG luminance, so a caption always meets 4.5:1.
int CaptionColour(int colour);

// value is the amount times 10000, already rounded. Halves of the last decimal round upward;
// thousands adds the regional group separators; parentheses writes a negative amount as
// "(1.23)". An amount that rounds to zero is never signed.
QString FormatMoney(int decimals, bool thousands, bool parentheses, qint64 value);
// An amount as the screens and the receipt show it: two decimals with group separators. Money
// in the database is unrounded; the text is made from ten-thousandths.
QString MoneyText(double amount);

// Reads a money text: "(1,234.50)" is -1234.5, group separators are ignored; an empty text
// gives defaultValue, a text that is not a number gives 0.
double ParseMoney(const QString& text, double defaultValue);

// "yyyy-mm-dd", or "yyyy-mm-dd hh:nn:ss.z" where z is the milliseconds without leading zeros
// (5 ms is ".5"). This is the text the kiosk shows and stores. It is NOT fit for binding to a
// Firebird timestamp (Firebird reads ".5" as half a second): where a date-time goes to the
// database, bind the QDateTime itself.
QString DateTimeText(bool dateOnly, const QDateTime& dateTime);

// Day numbers are the date-time form of the update, export and file-search texts: days since
// 1899-12-30 00:00 local time with the time of day as the fraction (before that day, the
// fraction still counts forward from midnight: -1.25 is 1899-12-29 06:00).
double DateTimeToDayNumber(const QDateTime& dateTime);
QDateTime DayNumberToDateTime(double dayNumber);
