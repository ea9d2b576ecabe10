#include "notice/DesktopNotice.h"

#include "store/StatusTexts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSet>
#include <optional>

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

void DesktopNotice::show(const AlarmEntry& entry)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    const AlarmKey& key = entry.key;
    const QString summary = key.nodeName.isEmpty()
                                ? lossSummary(key.deviceId, entry.text)
                                : QStringLiteral("设备%1 %2 告警").arg(key.deviceId).arg(key.nodeName);
    // The body may be rendered as markup; names are shown as typed.
    notify << QStringLiteral("spdmon") << uint(0) << QStringLiteral("dialog-warning") << summary
           << entry.text.toHtmlEscaped() << QStringList{kAcknowledge, QStringLiteral("确认")} << hints << int(0);
    const quint64 request = ++m_requests;
    m_asked.insert(request, {entry.key, entry.since});
    // Asked without waiting: a missing service answers with an error, which
    // is dropped, and the poll never waits for the desktop.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request]() {
        const QDBusPendingReply<uint> reply = *watcher;
        watcher->deleteLater();
        // Withdrawn while the service was still showing it: closed at once.
        const std::optional<AlarmOccurrence> asked =
            m_asked.contains(request) ? std::optional(m_asked.take(request)) : std::nullopt;
        if (!reply.isValid())
            return;
        if (asked)
            m_shown.insert(reply.value(), *asked);
        else
            close(reply.value());
        // The service may tell of an action before its answer is taken in here.
        if (asked && m_early.take(reply.value()) == kAcknowledge)
            emit acknowledgeRequested(*asked);
        if (m_asked.isEmpty())
            m_early.clear();
    });
}

void DesktopNotice::withdrawExcept(const QVector<AlarmOccurrence>& unacknowledged)
{
    const QSet<AlarmOccurrence> kept(unacknowledged.cbegin(), unacknowledged.cend());
    m_asked.removeIf([&kept](const auto& asked) { return !kept.contains(asked.value()); });
    for (const uint id : m_shown.keys()) {
        if (!kept.contains(m_shown.value(id)))
            close(id);
    }
}

void DesktopNotice::close(uint id)
{
    m_shown.remove(id);
    m_bus.asyncCall(
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("CloseNotification")) << id);
}

void DesktopNotice::actionInvoked(uint id, const QString& action)
{
    const auto shown = m_shown.constFind(id);
    if (action == kAcknowledge && shown != m_shown.constEnd())
        emit acknowledgeRequested(*shown);
    else if (shown == m_shown.constEnd() && !m_asked.isEmpty())
        m_early.insert(id, action);
}

void DesktopNotice::notificationClosed(uint id, uint /*reason*/)
{
    m_shown.remove(id);
}
