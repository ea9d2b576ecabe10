#include "store/Text.h"

#include "store/AppError.h"

#include <QStringEncoder>
#include <limits>

namespace Text {

namespace {
const char* const kDateTimeFormat = "yyyy-MM-dd hh:mm:ss";

// Value of a decimal or hexadecimal digit, -1 for anything else.
int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}
} // namespace

int toInt(const QString& text)
{
    const auto fail = [&text]() {
        return AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    };
    int pos = 0;
    const int n = text.size();
    while (pos < n && text.at(pos) == u' ')
        ++pos;
    bool negative = false;
    if (pos < n && (text.at(pos) == u'+' || text.at(pos) == u'-')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    int base = 10;
    if (pos < n && (text.at(pos) == u'$' || text.at(pos) == u'x' || text.at(pos) == u'X')) {
        base = 16;
        ++pos;
    } else if (pos + 1 < n && text.at(pos) == u'0' &&
               (text.at(pos + 1) == u'x' || text.at(pos + 1) == u'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= n)
        throw fail();
    // Accumulate as a magnitude so that the most negative value still fits.
    const qint64 limit =
        negative ? qint64(std::numeric_limits<int>::max()) + 1 : std::numeric_limits<int>::max();
    qint64 value = 0;
    for (; pos < n; ++pos) {
        const int digit = hexDigit(text.at(pos));
        if (digit < 0 || digit >= base)
            throw fail();
        value = value * base + digit;
        if (value > limit)
            throw fail();
    }
    return int(negative ? -value : value);
}

QString trimmed(const QString& text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

int gbkLength(const QString& text)
{
    QStringEncoder encoder("GBK");
    if (!encoder.isValid())
        return int(text.toLocal8Bit().size());
    const QByteArray bytes = encoder.encode(text);
    return int(bytes.size());
}

QString dateTimeText(const QDateTime& value)
{
    return value.toString(QString::fromLatin1(kDateTimeFormat));
}

QDateTime parseDateTime(const QString& text)
{
    const QString t = trimmed(text);
    if (t.isEmpty())
        return zeroDateTime();
    QDateTime result = QDateTime::fromString(t, QString::fromLatin1(kDateTimeFormat));
    if (!result.isValid())
        result = QDateTime::fromString(t, Qt::ISODate);
    if (!result.isValid()) {
        const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        if (date.isValid())
            result = QDateTime(date, QTime(0, 0));
    }
    return result.isValid() ? result : zeroDateTime();
}

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

} // namespace Text
