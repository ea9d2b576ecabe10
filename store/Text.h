#pragma once

#include <QDateTime>
#include <QString>

// Conversions shared by every window. They follow the rules operators already
// know from the field: integers may be hexadecimal, blanks are code 32 or less,
// and name lengths are counted in bytes of the Chinese code page.
namespace Text {

// Leading blanks skipped, optional sign, decimal digits or "$", "x", "X", "0x",
// "0X" followed by hex digits. Anything else, overflow included, throws
// AppError("'<text>' is not a valid integer value").
int toInt(const QString& text);

// Removes every leading and trailing character of code 32 or less, and only
// those: the one rule for names and passwords wherever they are stored or
// looked up, so that a full-width blank (U+3000) typed into a password stays
// part of it everywhere.
QString trimmed(const QString& text);

// Number of bytes the text takes in the GBK code page.
int gbkLength(const QString& text);

// The one form in which dates and times are stored and shown.
QString dateTimeText(const QDateTime& value);
QDateTime parseDateTime(const QString& text);

// The empty date: 30 December 1899, midnight.
QDateTime zeroDateTime();

// Key filter of the numeric fields: digits, ".", Backspace and Enter pass.
inline bool isNumericKey(QChar key)
{
    return (key >= u'0' && key <= u'9') || key == u'.' || key.unicode() == 8 || key.unicode() == 13;
}

} // namespace Text
