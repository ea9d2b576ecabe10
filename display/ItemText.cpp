#include "display/ItemText.h"

QString deviceItemText(const QString& deviceName, const QString& deviceId)
{
    return deviceName + QStringLiteral("[地址:") + deviceId + QLatin1Char(']');
}
