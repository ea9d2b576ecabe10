#include "notice/DesktopNotice.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kAcknowledge = QStringLiteral("acknowledge");
} // namespace

DesktopNotice::DesktopNotice(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void DesktopNotice::show(int deviceId, const QString& nodeName, const QString& text)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    notify << QStringLiteral("spdmon") << uint(0) << QStringLiteral("dialog-warning")
           << QStringLiteral("设备%1 %2 告警").arg(deviceId).arg(nodeName) << text
           << QStringList{kAcknowledge, QStringLiteral("确认")} << hints << int(0);
    // Asked without waiting: a missing service answers with an error, which
    // is dropped, and the poll never waits for the desktop.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, deviceId, nodeName]() {
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid())
            m_shown.insert(reply.value(), {deviceId, nodeName});
        watcher->deleteLater();
    });
}

void DesktopNotice::actionInvoked(uint id, const QString& action)
{
    const auto shown = m_shown.constFind(id);
    if (action == kAcknowledge && shown != m_shown.constEnd())
        emit acknowledgeRequested(shown->first, shown->second);
}

void DesktopNotice::notificationClosed(uint id, uint /*reason*/)
{
    m_shown.remove(id);
}
