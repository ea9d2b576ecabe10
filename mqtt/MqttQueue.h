#pragma once

#include <QByteArray>
#include <QHash>
#include <list>

struct MqttMessage final
{
    // A node reading is retained state that the next reading replaces: only
    // readings may be dropped. State (a list, a configuration, the empty
    // message that clears a topic) is retained too and never dropped; an
    // event (an alarm) is not retained and each one counts.
    enum class Kind { Reading, State, Event };

    QByteArray topic;
    QByteArray payload;
    Kind kind = Kind::Event;

    bool retained() const { return kind != Kind::Event; }
};

// Messages kept while the broker is away, oldest first. A retained message
// replaces the one waiting on its topic. When limit are waiting, the oldest
// reading makes room; without one, an event makes room for an event, a
// reading is dropped, and state goes in all the same (one per topic).
class MqttQueue final
{
public:
    explicit MqttQueue(int limit);

    void push(MqttMessage message);
    // The oldest message, left in place until pop().
    const MqttMessage* front() const;
    void pop();
    int size() const { return int(m_messages.size()); }
    int dropped() const { return m_dropped; }

private:
    using Messages = std::list<MqttMessage>;

    Messages::iterator oldest(MqttMessage::Kind kind);
    void erase(Messages::iterator it);

    int m_limit;
    int m_dropped = 0;
    Messages m_messages;
    QHash<QByteArray, Messages::iterator> m_byTopic; // the retained ones
};
