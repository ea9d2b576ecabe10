#include "monitor/AlarmStates.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/OperationLogTable.h"
#include "store/Query.h"
#include "store/Text.h"

#include <algorithm>

namespace {
bool unacknowledged(AlarmState state)
{
    return state == AlarmState::ActiveUnacknowledged || state == AlarmState::ReturnedUnacknowledged;
}
} // namespace

AlarmStates::AlarmStates(Connection& connection, QObject* parent) : QObject(parent), m_connection(connection)
{}

AlarmState AlarmStates::afterCondition(AlarmState state, bool present)
{
    switch (state) {
    case AlarmState::Normal:
    case AlarmState::ReturnedUnacknowledged:
        return present ? AlarmState::ActiveUnacknowledged : state;
    case AlarmState::ActiveUnacknowledged:
        return present ? state : AlarmState::ReturnedUnacknowledged;
    case AlarmState::ActiveAcknowledged:
        return present ? state : AlarmState::Normal;
    }
    return state;
}

AlarmState AlarmStates::afterAcknowledge(AlarmState state)
{
    switch (state) {
    case AlarmState::ActiveUnacknowledged:
        return AlarmState::ActiveAcknowledged;
    case AlarmState::ReturnedUnacknowledged:
        return AlarmState::Normal;
    case AlarmState::Normal:
    case AlarmState::ActiveAcknowledged:
        break;
    }
    return state;
}

// Read at first use, not at construction: the station exists before the file
// is known to hold the table.
void AlarmStates::load()
{
    if (m_loaded)
        return;
    for (const AlarmEntry& entry : AlarmStateTable(m_connection).load())
        m_entries.insert(entry.key, entry);
    m_loaded = true;
}

std::optional<AlarmChange> AlarmStates::judge(const AlarmKey& key, bool present, const QDateTime& readTime,
                                              const std::function<QString()>& text)
{
    load();
    const auto found = m_entries.constFind(key);
    AlarmEntry entry = found == m_entries.constEnd() ? AlarmEntry{key, AlarmState::Normal, {}, {}} : *found;
    const AlarmState next = afterCondition(entry.state, present);
    if (next == entry.state)
        return std::nullopt;
    const QString time = Text::dateTimeText(readTime);
    if (next == AlarmState::ActiveUnacknowledged) {
        entry.since = time;
        entry.text = text();
    }
    entry.state = next;
    return AlarmChange{entry, time, {}};
}

void AlarmStates::write(const QVector<AlarmChange>& changes)
{
    AlarmStateTable table(m_connection);
    for (const AlarmChange& change : changes)
        table.write(change);
}

void AlarmStates::apply(const QVector<AlarmChange>& changes)
{
    if (changes.isEmpty())
        return;
    const int before = unacknowledgedCount();
    for (const AlarmChange& change : changes) {
        if (change.entry.state == AlarmState::Normal)
            m_entries.remove(change.entry.key);
        else
            m_entries.insert(change.entry.key, change.entry);
    }
    emit changed(changes, active());
    for (const AlarmChange& change : changes) {
        if (change.entry.state == AlarmState::ActiveUnacknowledged)
            emit alarmRaised(change.entry.key.deviceId, change.entry.key.nodeName, change.entry.text);
    }
    const int after = unacknowledgedCount();
    if (after != before)
        emit unacknowledgedCountChanged(after);
}

int AlarmStates::unacknowledgedCount()
{
    load();
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [](const AlarmEntry& entry) { return unacknowledged(entry.state); }));
}

QVector<AlarmEntry> AlarmStates::active()
{
    load();
    QVector<AlarmEntry> entries(m_entries.cbegin(), m_entries.cend());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AlarmEntry& a, const AlarmEntry& b) { return a.since > b.since; });
    return entries;
}

void AlarmStates::acknowledge(int deviceId, const QString& nodeName, const QString& user)
{
    const AlarmKey wanted{deviceId, nodeName};
    acknowledgeWhere([&wanted](const AlarmKey& key) { return key == wanted; }, user);
}

void AlarmStates::acknowledgeAll(const QString& user)
{
    acknowledgeWhere([](const AlarmKey&) { return true; }, user);
}

void AlarmStates::acknowledgeWhere(const std::function<bool(const AlarmKey&)>& picked, const QString& user)
{
    try {
        const QDateTime now = Clock::now();
        const QString time = Text::dateTimeText(now);
        QVector<AlarmChange> changes;
        // Oldest first, so the event rows follow the order the alarms came in.
        QVector<AlarmEntry> entries = active();
        std::reverse(entries.begin(), entries.end());
        for (AlarmEntry entry : entries) {
            const AlarmState next = afterAcknowledge(entry.state);
            if (!picked(entry.key) || next == entry.state)
                continue;
            entry.state = next;
            changes << AlarmChange{entry, time, user};
        }
        if (changes.isEmpty())
            return;
        m_connection.beginTransaction();
        try {
            write(changes);
            // One alarm a line: an alarm's text holds "; " itself.
            QStringList acknowledged;
            for (const AlarmChange& change : changes)
                acknowledged << change.entry.text;
            Query logQuery(m_connection);
            OperationLogTable(logQuery).add(now, user, QStringLiteral("确认告警"), acknowledged.join(u'\n'));
            m_connection.commit();
        } catch (const AppError&) {
            m_connection.rollback();
            throw;
        }
        apply(changes);
    } catch (const AppError& e) {
        emit acknowledgeFailed(e.text());
    }
}
