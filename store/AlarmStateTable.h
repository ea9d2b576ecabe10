#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>
#include <optional>
#include <utility>

class Connection;
class Query;

// The four states an alarm goes through, after the usual alarm models: it is
// raised unacknowledged, and it is over only once it has both returned to
// normal and been acknowledged.
enum class AlarmState { Normal, ActiveUnacknowledged, ActiveAcknowledged, ReturnedUnacknowledged };

// One alarm: a node's alarm, or with an empty node name the device's loss of
// communication.
struct AlarmKey
{
    int deviceId = 0;
    QString nodeName;

    bool operator==(const AlarmKey& other) const
    {
        return deviceId == other.deviceId && nodeName == other.nodeName;
    }
};
size_t qHash(const AlarmKey& key, size_t seed = 0);

// An alarm that is not normal: since when it was last raised, and its text.
struct AlarmEntry
{
    AlarmKey key;
    AlarmState state = AlarmState::Normal;
    QString since;
    QString text;
};

// An alarm as the operator was shown it: which, and since when it is raised.
// An acknowledgement names these, so that it never covers a later raising.
struct AlarmOccurrence
{
    AlarmKey key;
    QString since;

    bool operator==(const AlarmOccurrence& other) const { return key == other.key && since == other.since; }
};
size_t qHash(const AlarmOccurrence& occurrence, size_t seed = 0);

// One change of state: the alarm as it is afterwards, when, and who acted
// (empty when a reading caused it).
struct AlarmChange
{
    AlarmEntry entry;
    QString time;
    QString user;
};

// alarm_state (one row per alarm that is not normal) and alarm_event (one row
// per change), kept beside the four tables. Every failure throws AppError.
class AlarmStateTable final
{
public:
    explicit AlarmStateTable(Connection& connection) : m_connection(connection) {}

    // The stored text of a state, as alarm_state, alarm_event and MQTT carry it.
    static QString code(AlarmState state);

    QVector<AlarmEntry> load();
    // The state the change leaves (a normal alarm loses its row) and its
    // event row, in the caller's transaction.
    void write(const AlarmChange& change);
    // Ends the alarms of a device (all of them without nodeName) or of one of
    // its nodes, as equipment that is deleted or moved: an event row by user
    // for each, in the caller's transaction.
    void end(int deviceId, const std::optional<QString>& nodeName, const QString& time, const QString& user);

    // The time and user of the alarm's latest event row, if that row ended it.
    std::optional<std::pair<QString, QString>> lastEnd(const AlarmKey& key);

    // The window's list: the alarms not normal, newest first, with the time,
    // state and text shown and the key in the last two columns.
    static void openActive(Query& query);

private:
    Connection& m_connection;
};

Q_DECLARE_METATYPE(AlarmEntry)
Q_DECLARE_METATYPE(AlarmChange)
Q_DECLARE_METATYPE(AlarmOccurrence)
