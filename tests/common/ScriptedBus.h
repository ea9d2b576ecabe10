#pragma once

#include "link/FieldBus.h"

#include <QHash>
#include <QList>
#include <QVector>
#include <functional>
#include <optional>

// A bus whose answers the test decides: per slave address either a value or
// silence (-1), optionally with a queue of one-off answers first.
class ScriptedBus final : public FieldBus
{
public:
    struct Call
    {
        int function;
        int port;
        int slave;
        int reg;
    };

    void answer(int slave, int value) { m_values[slave] = value; }
    void silence(int slave) { m_values[slave] = std::nullopt; }
    void queue(int slave, std::optional<int> once) { m_queued[slave].append(once); }
    void setBusy(bool busy) { m_busy = busy; }

    QVector<Call> calls;
    int opens = 0;
    int closes = 0;

    int comOpen(int, int, int, const QByteArray&, int) override { return ++opens, 1; }
    void setDelay(int) override {}
    int comWork(int) override { return m_busy ? 1 : 0; }
    int fcn03(int port, int slave, int reg, int count, int* buffer) override
    {
        return read(3, port, slave, reg, count, buffer);
    }
    int fcn04(int port, int slave, int reg, int count, int* buffer) override
    {
        return read(4, port, slave, reg, count, buffer);
    }
    void comClose(int) override { ++closes; }
    ReadFailure lastFailure(int) override { return m_lastFailed ? ReadFailure::NoReply : ReadFailure::None; }

private:
    int read(int function, int port, int slave, int reg, int, int* buffer)
    {
        calls.append({function, port, slave, reg});
        std::optional<int> result = m_values.value(slave, 0);
        if (!m_queued.value(slave).isEmpty())
            result = m_queued[slave].takeFirst();
        m_lastFailed = !result;
        if (!result)
            return -1;
        buffer[0] = *result;
        return 1;
    }

    QHash<int, std::optional<int>> m_values;
    QHash<int, QList<std::optional<int>>> m_queued;
    bool m_busy = false;
    bool m_lastFailed = false;
};
