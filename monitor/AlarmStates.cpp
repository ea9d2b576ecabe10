#include "monitor/AlarmStates.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/OperationLogTable.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QSet>
#include <algorithm>

namespace {
bool unacknowledged(AlarmState state)
{
    return state == AlarmState::ActiveUnacknowledged || state == AlarmState::ReturnedUnacknowledged;
}

QVector<AlarmEntry> newestFirst(const QHash<AlarmKey, AlarmEntry>& held)
{
    QVector<AlarmEntry> entries(held.cbegin(), held.cend());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AlarmEntry& a, const AlarmEntry& b) { return a.since > b.since; });
    return entries;
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
    // Back before it was acknowledged, it keeps the time it was raised: the
    // operator has still that one to acknowledge, and nothing new to hear of.
    if (next == AlarmState::ActiveUnacknowledged) {
        if (entry.state == AlarmState::Normal)
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
    QVector<AlarmEntry> raised;
    for (const AlarmChange& change : changes) {
        const bool wasNormal = !m_entries.contains(change.entry.key);
        if (change.entry.state == AlarmState::Normal)
            m_entries.remove(change.entry.key);
        else
            m_entries.insert(change.entry.key, change.entry);
        if (wasNormal && change.entry.state == AlarmState::ActiveUnacknowledged)
            raised << change.entry;
    }
    emit changed(changes, active());
    for (const AlarmEntry& entry : raised)
        emit alarmRaised(entry);
    const int after = unacknowledgedCount();
    if (after != before)
        emit unacknowledgedCountChanged(after);
}

bool AlarmStates::isRaised(const AlarmKey& key)
{
    load();
    const AlarmState state = m_entries.value(key).state;
    return state == AlarmState::ActiveUnacknowledged || state == AlarmState::ActiveAcknowledged;
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
    return newestFirst(m_entries);
}

QVector<AlarmChange> AlarmStates::fileChanges(const QString& time)
{
    load();
    AlarmStateTable table(m_connection);
    QHash<AlarmKey, AlarmEntry> stored;
    for (const AlarmEntry& entry : table.load())
        stored.insert(entry.key, entry);
    QVector<AlarmChange> changes;
    for (const AlarmEntry& entry : std::as_const(m_entries)) {
        if (stored.contains(entry.key))
            continue;
        // Ended by another connection (a deletion): told as its event row says, with its user.
        const auto ended = table.lastEnd(entry.key).value_or(std::pair(time, QString()));
        changes << AlarmChange{
            {entry.key, AlarmState::Normal, entry.since, entry.text}, ended.first, ended.second};
    }
    for (const AlarmEntry& entry : std::as_const(stored)) {
        const auto held = m_entries.constFind(entry.key);
        if (held == m_entries.constEnd() || held->state != entry.state || held->since != entry.since ||
            held->text != entry.text)
            changes << AlarmChange{entry, time, {}};
    }
    return changes;
}

void AlarmStates::reload()
{
    apply(fileChanges(Text::dateTimeText(Clock::now())));
}

void AlarmStates::acknowledge(const QVector<AlarmOccurrence>& shown, const QString& user)
{
    const QDateTime now = Clock::now();
    const QString time = Text::dateTimeText(now);
    QVector<AlarmChange> changes;
    try {
        m_connection.beginTransaction();
        try {
            // From the file, not from memory: a row another program removed
            // meanwhile is not written back.
            changes = fileChanges(time);
            QHash<AlarmKey, AlarmEntry> stored = m_entries;
            for (const AlarmChange& change : std::as_const(changes)) {
                if (change.entry.state == AlarmState::Normal)
                    stored.remove(change.entry.key);
                else
                    stored.insert(change.entry.key, change.entry);
            }
            const QSet<AlarmOccurrence> picked(shown.cbegin(), shown.cend());
            QVector<AlarmChange> acknowledged;
            // Oldest first, so the event rows follow the order the alarms came in.
            QVector<AlarmEntry> entries = newestFirst(stored);
            std::reverse(entries.begin(), entries.end());
            for (AlarmEntry entry : entries) {
                const AlarmState next = afterAcknowledge(entry.state);
                if (!picked.contains({entry.key, entry.since}) || next == entry.state)
                    continue;
                entry.state = next;
                acknowledged << AlarmChange{entry, time, user};
            }
            if (!acknowledged.isEmpty()) {
                write(acknowledged);
                // One alarm a line: an alarm's text holds "; " itself.
                QStringList texts;
                for (const AlarmChange& change : acknowledged)
                    texts << change.entry.text;
                Query logQuery(m_connection);
                OperationLogTable(logQuery).add(now, user, QStringLiteral("确认告警"), texts.join(u'\n'));
            }
            m_connection.commit();
            changes += acknowledged;
        } catch (const AppError&) {
            m_connection.rollback();
            throw;
        }
    } catch (const AppError& e) {
        apply(changes); // what the file holds, at least
        emit acknowledgeFailed(e.text());
        return;
    }
    // Told once, the file's changes and the acknowledgement together.
    apply(changes);
}
