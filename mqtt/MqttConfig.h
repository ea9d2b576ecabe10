#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Where a station publishes: read from mqtt.conf (key=value lines) in the
// user's configuration folder. Without that file the station publishes nothing.
struct MqttConfig final
{
    QString host;
    int port = 1883;
    QString station; // topic segment; the host name when not set
    QString username;
    QString password;
    QString cafile; // TLS with this CA certificate when set
    // Home Assistant discovery (discovery=homeassistant) under this topic
    // prefix (discovery_prefix, homeassistant when not set); empty when off.
    QString discoveryPrefix;

    // $XDG_CONFIG_HOME/spdmon/mqtt.conf, else ~/.config/spdmon/mqtt.conf.
    static QString defaultPath();
    // Nothing when the file is missing or unusable; problem then says why,
    // naming the line that cannot be read.
    static std::optional<MqttConfig> load(const QString& path, QString* problem = nullptr);
    // A topic segment: the characters MQTT gives a meaning to are replaced.
    static QString segment(QString text);

    // "spdmon/<station>/<tail>", UTF-8.
    QByteArray topic(const QString& tail) const;
    QString address() const { return host + QLatin1Char(':') + QString::number(port); }
};
