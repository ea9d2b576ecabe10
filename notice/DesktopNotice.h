#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>

// Alarms shown by the desktop's notification service (org.freedesktop.
// Notifications): critical, so they stay until dismissed, with an action that
// asks for the alarm's acknowledgement. Without a bus or a service nothing
// is shown and nothing is reported.
class DesktopNotice final : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotice(const QDBusConnection& bus, QObject* parent = nullptr);

public slots:
    void show(int deviceId, const QString& nodeName, const QString& text);

signals:
    void acknowledgeRequested(int deviceId, const QString& nodeName);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QHash<uint, QPair<int, QString>> m_shown; // notification id -> device, node
    int m_awaited = 0;                        // notices whose id is not yet known
    QSet<uint> m_early;                       // ids acknowledged before they were known
};
