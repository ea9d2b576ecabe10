#pragma once

#include "link/FieldBus.h"

#include <QHash>
#include <QList>
#include <QVector>
#include <functional>
#include <optional>

// A bus whose answers the test decides: per slave address either a value or
// silence (-1), optionally with a queue of one-off answers first; in each
// register read the value or one set for it, or a refusal of several at once.
class ScriptedBus final : public FieldBus
{
public:
    struct Call
    {
        int function;
        int port;
        int slave;
        int reg;
        int count;
    };

    void answer(int slave, int value) { m_values[slave] = value; }
    void silence(int slave) { m_values[slave] = std::nullopt; }
    void queue(int slave, std::optional<int> once) { m_queued[slave].append(once); }
    void setBusy(bool busy) { m_busy = busy; }
    void setRegister(int slave, int reg, int value) { m_registers[{slave, reg}] = value; }
    void refuseRanges(int slave, ReadFailure how) { m_refusing.insert(slave, how); }

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
    ReadFailure lastFailure(int) override { return m_lastFailure; }

private:
    int read(int function, int port, int slave, int reg, int count, int* buffer)
    {
        calls.append({function, port, slave, reg, count});
        if (count > 1 && m_refusing.value(slave, ReadFailure::None) != ReadFailure::None) {
            m_lastFailure = m_refusing.value(slave);
            return -1;
        }
        std::optional<int> result = m_values.value(slave, 0);
        if (!m_queued.value(slave).isEmpty())
            result = m_queued[slave].takeFirst();
        m_lastFailure = result ? ReadFailure::None : ReadFailure::NoReply;
        if (!result)
            return -1;
        for (int i = 0; i < count; ++i)
            buffer[i] = m_registers.value({slave, reg + i}, *result);
        return count;
    }

    QHash<int, std::optional<int>> m_values;
    QHash<int, QList<std::optional<int>>> m_queued;
    bool m_busy = false;
    QHash<QPair<int, int>, int> m_registers; // by slave and register
    QHash<int, ReadFailure> m_refusing;
    ReadFailure m_lastFailure = ReadFailure::None;
};
