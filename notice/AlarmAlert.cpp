#include "notice/AlarmAlert.h"

#include <QSettings>
#include <QStandardPaths>

AlarmAlert::AlarmAlert(bool soundEnabled, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_sound(soundEnabled), m_notice(bus)
{
    connect(&m_notice, &DesktopNotice::acknowledgeRequested, this, &AlarmAlert::acknowledgeRequested);
}

QString AlarmAlert::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/spdmon/spdmon.conf");
}

bool AlarmAlert::soundEnabled(const QString& path)
{
    return QSettings(path, QSettings::IniFormat).value(QStringLiteral("alarm/sound"), true).toBool();
}

void AlarmAlert::unacknowledgedChanged(int count)
{
    m_sound.setUnacknowledged(count);
}

void AlarmAlert::alarmRaised(int deviceId, const QString& nodeName, const QString& text)
{
    m_sound.alarmRaised();
    m_notice.show(deviceId, nodeName, text);
}

void AlarmAlert::silence()
{
    m_sound.silence();
}
