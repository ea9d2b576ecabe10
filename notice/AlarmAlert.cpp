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

void AlarmAlert::alarmRaised(const AlarmEntry& entry)
{
    m_sound.alarmRaised();
    m_notice.show(entry);
}

void AlarmAlert::keepNotices(const QVector<AlarmOccurrence>& unacknowledged)
{
    m_notice.withdrawExcept(unacknowledged);
}

void AlarmAlert::silence()
{
    m_sound.silence();
}
