#include "notice/DesktopNotice.h"

#include "store/StatusTexts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kAcknowledge = QStringLiteral("acknowledge");

// A device's communication loss, named as the alarm log names it: its text
// begins with the device's name and address, "name[address];".
QString lossSummary(int deviceId, const QString& text)
{
    const QString address = QStringLiteral("[%1]").arg(deviceId);
    const qsizetype end = text.indexOf(address + QLatin1Char(';'));
    const QString device = end > 0 ? text.left(end) + address : QStringLiteral("设备%1").arg(deviceId);
    return device + QLatin1Char(' ') + StatusTexts::kCommAbnormal;
}
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
    const QString summary = nodeName.isEmpty() ? lossSummary(deviceId, text)
                                               : QStringLiteral("设备%1 %2 告警").arg(deviceId).arg(nodeName);
    // The body may be rendered as markup; names are shown as typed.
    notify << QStringLiteral("spdmon") << uint(0) << QStringLiteral("dialog-warning") << summary
           << text.toHtmlEscaped() << QStringList{kAcknowledge, QStringLiteral("确认")} << hints << int(0);
    // Asked without waiting: a missing service answers with an error, which
    // is dropped, and the poll never waits for the desktop.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    ++m_awaited;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, deviceId, nodeName]() {
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid()) {
            m_shown.insert(reply.value(), {deviceId, nodeName});
            if (m_early.remove(reply.value()))
                emit acknowledgeRequested(deviceId, nodeName);
        }
        if (--m_awaited == 0)
            m_early.clear();
        watcher->deleteLater();
    });
}

void DesktopNotice::actionInvoked(uint id, const QString& action)
{
    if (action != kAcknowledge)
        return;
    const auto shown = m_shown.constFind(id);
    if (shown != m_shown.constEnd())
        emit acknowledgeRequested(shown->first, shown->second);
    else if (m_awaited > 0)
        m_early.insert(id); // Qt may hand us the action before the reply that tells us the notice's id
}

void DesktopNotice::notificationClosed(uint id, uint /*reason*/)
{
    m_shown.remove(id);
}
