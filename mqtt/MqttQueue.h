#pragma once

#include <QByteArray>
#include <QHash>
#include <deque>
#include <list>
#include <optional>

struct MqttMessage final
{
    QByteArray topic;
    QByteArray payload;
    bool retained = false; // a node reading; otherwise an alarm
};

// Messages kept while the broker is away, oldest first, at most limit of them.
// Readings are retained state, so only the newest of each node is worth
// keeping; alarms are events and each one counts. When full, readings make
// room first, then the oldest alarm.
class MqttQueue final
{
public:
    explicit MqttQueue(int limit);

    void push(MqttMessage message);
    // The oldest message, left in place until pop().
    const MqttMessage* front() const;
    void pop();
    int size() const { return int(m_readings.size() + m_alarms.size()); }
    int dropped() const { return m_dropped; }

private:
    struct Entry
    {
        quint64 order;
        MqttMessage message;
    };
    using Readings = std::list<Entry>;

    bool frontIsReading() const;
    void dropReading(Readings::iterator it);

    int m_limit;
    quint64 m_next = 0;
    int m_dropped = 0;
    Readings m_readings;
    QHash<QByteArray, Readings::iterator> m_byTopic;
    std::deque<Entry> m_alarms;
};
