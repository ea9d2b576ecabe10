#include "mqtt/MqttQueue.h"

MqttQueue::MqttQueue(int limit) : m_limit(qMax(1, limit)) {}

void MqttQueue::push(MqttMessage message)
{
    if (message.retained) {
        // The newer reading goes to the back, where its order now belongs.
        const auto old = m_byTopic.constFind(message.topic);
        if (old != m_byTopic.constEnd()) {
            m_readings.erase(old.value());
            m_byTopic.erase(old);
        } else if (size() >= m_limit) {
            ++m_dropped;
            if (m_readings.empty())
                return; // all room is taken by alarms
            dropReading(m_readings.begin());
        }
        const QByteArray topic = message.topic;
        m_readings.push_back({m_next++, std::move(message)});
        m_byTopic.insert(topic, std::prev(m_readings.end()));
        return;
    }
    if (size() >= m_limit) {
        ++m_dropped;
        if (!m_readings.empty())
            dropReading(m_readings.begin());
        else
            m_alarms.pop_front();
    }
    m_alarms.push_back({m_next++, std::move(message)});
}

bool MqttQueue::frontIsReading() const
{
    return !m_readings.empty() && (m_alarms.empty() || m_readings.front().order < m_alarms.front().order);
}

const MqttMessage* MqttQueue::front() const
{
    if (frontIsReading())
        return &m_readings.front().message;
    return m_alarms.empty() ? nullptr : &m_alarms.front().message;
}

void MqttQueue::pop()
{
    if (frontIsReading())
        dropReading(m_readings.begin());
    else if (!m_alarms.empty())
        m_alarms.pop_front();
}

void MqttQueue::dropReading(Readings::iterator it)
{
    m_byTopic.remove(it->message.topic);
    m_readings.erase(it);
}
