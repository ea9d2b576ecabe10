#pragma once

#include "store/AlarmStateTable.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

// Alarms shown by the desktop's notification service (org.freedesktop.
// Notifications): critical, so they stay until dismissed or withdrawn, with an
// action that asks for the acknowledgement of exactly the raising announced.
// Without a bus or a service nothing is shown and nothing is reported.
class DesktopNotice final : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotice(const QDBusConnection& bus, QObject* parent = nullptr);

public slots:
    void show(const AlarmEntry& entry);
    // Withdraws the notices of every alarm not among these (acknowledged or over).
    void withdrawExcept(const QVector<AlarmOccurrence>& unacknowledged);

signals:
    void acknowledgeRequested(const AlarmOccurrence& occurrence);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    void close(uint id);

    QDBusConnection m_bus;
    QHash<uint, AlarmOccurrence> m_shown;    // notification id -> the raising announced
    QHash<quint64, AlarmOccurrence> m_asked; // shown, the service's id not yet known, by request
    quint64 m_requests = 0;
    QHash<uint, QString> m_early; // actions on ids not yet answered, while requests are open
};
