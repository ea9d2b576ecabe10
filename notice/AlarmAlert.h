#pragma once

#include "notice/AlarmSound.h"
#include "notice/DesktopNotice.h"

#include <QObject>

// What makes an alarm hard to miss: the sound and the desktop notice. It
// learns of the alarms from the station (how many are unacknowledged, each
// new one) and asks the station for an acknowledgement when the operator
// picks it in a notice.
class AlarmAlert final : public QObject
{
    Q_OBJECT
public:
    AlarmAlert(bool soundEnabled, const QDBusConnection& bus, QObject* parent = nullptr);

    // ~/.config/spdmon/spdmon.conf; its key alarm/sound=false switches the
    // sound off at this station.
    static QString settingsPath();
    static bool soundEnabled(const QString& path = settingsPath());

    AlarmSound& sound() { return m_sound; }

public slots:
    void unacknowledgedChanged(int count);
    void alarmRaised(const AlarmEntry& entry);
    // The alarms still unacknowledged: the notices of all others are withdrawn.
    void keepNotices(const QVector<AlarmOccurrence>& unacknowledged);
    void silence();

signals:
    // Exactly the alarm a notice announced.
    void acknowledgeRequested(const AlarmOccurrence& occurrence);

private:
    AlarmSound m_sound;
    DesktopNotice m_notice;
};
