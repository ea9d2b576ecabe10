#include "mqtt/MqttConfig.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

QString MqttConfig::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/spdmon/mqtt.conf");
}

std::optional<MqttConfig> MqttConfig::load(const QString& path, QString* problem)
{
    const auto fail = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("%1 does not exist").arg(path));
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("%1 cannot be read").arg(path));

    MqttConfig config;
    config.host = settings.value(QStringLiteral("host")).toString().trimmed();
    if (config.host.isEmpty())
        return fail(QStringLiteral("%1 names no host").arg(path));
    bool ok = true;
    config.port = settings.value(QStringLiteral("port"), 1883).toInt(&ok);
    if (!ok || config.port < 1 || config.port > 65535)
        return fail(QStringLiteral("%1: port must be a number from 1 to 65535").arg(path));
    config.station = settings.value(QStringLiteral("station")).toString().trimmed();
    if (config.station.isEmpty())
        config.station = QSysInfo::machineHostName();
    config.station = segment(config.station);
    config.username = settings.value(QStringLiteral("username")).toString();
    config.password = settings.value(QStringLiteral("password")).toString();
    config.cafile = settings.value(QStringLiteral("cafile")).toString().trimmed();
    return config;
}

QString MqttConfig::segment(QString text)
{
    for (QChar& c : text) {
        if (c == u'/' || c == u'+' || c == u'#' || c.unicode() == 0)
            c = u'_';
    }
    return text.isEmpty() ? QStringLiteral("_") : text;
}

QByteArray MqttConfig::topic(const QString& tail) const
{
    return (QStringLiteral("spdmon/") + station + QLatin1Char('/') + tail).toUtf8();
}
