#include "mqtt/MqttConfig.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTextStream>

QString MqttConfig::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/spdmon/mqtt.conf");
}

namespace {

// A line without its comment, trimmed: a line whose first character is ';'
// or '#' is all comment, and so is the rest after a ';' that follows a blank.
// Anywhere else ';' and '#' belong to the value (a password may hold them).
QString withoutComment(const QString& line)
{
    const QString text = line.trimmed();
    if (text.startsWith(u';') || text.startsWith(u'#'))
        return {};
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text.at(i) == u';' && text.at(i - 1).isSpace())
            return text.left(i).trimmed();
    }
    return text;
}

} // namespace

std::optional<MqttConfig> MqttConfig::load(const QString& path, QString* problem)
{
    const auto fail = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("%1 does not exist").arg(path));
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("%1 cannot be read").arg(path));

    // Plain key=value lines: the value is everything after the first '=', so
    // ',', '"' and '=' in a password stay as written.
    MqttConfig config;
    bool discovery = false;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QTextStream in(&file);
    for (int number = 1; !in.atEnd(); ++number) {
        const QString line = in.readLine();
        // Names the line and its key, never the value: the line may hold a password.
        const auto refuse = [&](const QString& why) {
            return fail(QStringLiteral("%1 line %2: %3").arg(path, QString::number(number), why));
        };
        const QString text = withoutComment(line);
        if (text.isEmpty())
            continue;
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0)
            return refuse(QStringLiteral("no '='"));
        const QString key = text.left(equals).trimmed();
        const auto refuseKey = [&](const QString& why) { return refuse(why + QStringLiteral(": ") + key); };
        const QString value = text.mid(equals + 1).trimmed();
        if (key == u"port") {
            bool ok = false;
            config.port = value.toInt(&ok);
            if (!ok || config.port < 1 || config.port > 65535)
                return refuseKey(QStringLiteral("must be a number from 1 to 65535"));
        } else if (key == u"host") {
            if (value.isEmpty())
                return refuseKey(QStringLiteral("empty value"));
            config.host = value;
        } else if (key == u"station") {
            config.station = value;
        } else if (key == u"username") {
            config.username = value;
        } else if (key == u"password") {
            config.password = value;
        } else if (key == u"cafile") {
            config.cafile = value;
        } else if (key == u"discovery") {
            if (!value.isEmpty() && value != u"homeassistant")
                return refuseKey(QStringLiteral("must be homeassistant or empty"));
            discovery = !value.isEmpty();
        } else if (key == u"discovery_prefix") {
            if (value.isEmpty() || value.contains(u'+') || value.contains(u'#'))
                return refuseKey(QStringLiteral("must be a topic without + or #"));
            discoveryPrefix = value;
        } else {
            return refuseKey(QStringLiteral("unknown key"));
        }
    }
    if (config.host.isEmpty())
        return fail(QStringLiteral("%1 names no host").arg(path));
    config.station = segment(config.station.isEmpty() ? QSysInfo::machineHostName() : config.station);
    if (discovery)
        config.discoveryPrefix = discoveryPrefix;
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
