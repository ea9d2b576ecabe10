#pragma once

#include "link/FieldBus.h"

#include <QDateTime>
#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>

// How one device has answered since monitoring started: what a technician
// needs to tell a silent device from a garbled line or a slow one.
struct DeviceCounters
{
    int deviceId = 0;
    qint64 requests = 0;
    qint64 good = 0;
    qint64 noReply = 0;
    qint64 badReply = 0;
    qint64 exceptionReply = 0;
    // Response times of good replies in milliseconds; -1 before the first.
    double lastMs = -1;
    double minMs = -1;
    double maxMs = -1;
    double totalMs = 0;
    QDateTime lastGood; // null before the first good reply
    int consecutiveFailures = 0;
    bool rangesRefused = false; // line mode reads it node by node

    double meanMs() const { return good > 0 ? totalMs / double(good) : -1; }
    // Three lines for a tooltip.
    QString summary() const;
};
Q_DECLARE_METATYPE(DeviceCounters)

// The counters of every device the poll step has read, fed by that step on
// the station's side. Whoever shows them learns of each change by signal.
class BusCounters final : public QObject
{
    Q_OBJECT
public:
    explicit BusCounters(QObject* parent = nullptr) : QObject(parent) {}

    // One read of the device that took this long and ended so.
    void record(int deviceId, ReadFailure failure, double milliseconds, const QDateTime& at);
    // The device refused to read a range of registers in one request: read
    // node by node for the rest of the run, which a reset does not forget.
    void rangesRefused(int deviceId);

public slots:
    // Forgets every count: monitoring starts afresh, or a technician asked.
    void reset();

signals:
    void deviceChanged(const DeviceCounters& counters);
    void cleared();

private:
    QHash<int, DeviceCounters> m_devices;
    QSet<int> m_refusing;
};
