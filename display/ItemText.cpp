#include "display/ItemText.h"

QString deviceItemText(const QString& deviceName, const QString& deviceId)
{
    return deviceName + QStringLiteral("[地址:") + deviceId + QLatin1Char(']');
}

QString AddressFromItemText(const QString& itemText)
{
    QString rest = itemText;
    const int open = rest.indexOf(QLatin1Char('['));
    if (open >= 0)
        rest.remove(0, open + 1);
    const int close = rest.indexOf(QLatin1Char(']'));
    if (close >= 0)
        rest.truncate(close);
    QString digits;
    for (const QChar c : rest) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    return digits;
}
