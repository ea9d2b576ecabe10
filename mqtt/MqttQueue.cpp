#include "mqtt/MqttQueue.h"

#include <algorithm>

MqttQueue::MqttQueue(int limit) : m_limit(qMax(1, limit)) {}

void MqttQueue::push(MqttMessage message)
{
    using Kind = MqttMessage::Kind;
    const auto old = message.retained() ? m_byTopic.constFind(message.topic) : m_byTopic.constEnd();
    if (old != m_byTopic.constEnd()) {
        // The newer message goes to the back, where its order now belongs;
        // one that overtakes a clearing must not be dropped either.
        if (old.value()->kind == Kind::State)
            message.kind = Kind::State;
        erase(old.value());
    } else if (size() >= m_limit) {
        auto room = oldest(Kind::Reading);
        if (room == m_messages.end() && message.kind == Kind::Event)
            room = oldest(Kind::Event);
        if (room != m_messages.end()) {
            ++m_dropped;
            erase(room);
        } else if (message.kind == Kind::Reading) {
            ++m_dropped;
            return;
        }
    }
    m_messages.push_back(std::move(message));
    if (m_messages.back().retained())
        m_byTopic.insert(m_messages.back().topic, std::prev(m_messages.end()));
}

const MqttMessage* MqttQueue::front() const
{
    return m_messages.empty() ? nullptr : &m_messages.front();
}

void MqttQueue::pop()
{
    if (!m_messages.empty())
        erase(m_messages.begin());
}

MqttQueue::Messages::iterator MqttQueue::oldest(MqttMessage::Kind kind)
{
    return std::find_if(m_messages.begin(), m_messages.end(),
                        [kind](const MqttMessage& message) { return message.kind == kind; });
}

void MqttQueue::erase(Messages::iterator it)
{
    if (it->retained())
        m_byTopic.remove(it->topic);
    m_messages.erase(it);
}
