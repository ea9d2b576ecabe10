#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVariantMap>

class Query;

// How many of a station's devices are normal, in alarm or not answering, by
// the last reading of each of their nodes, as the fleet page counts them: a
// device with a node not answering cannot be judged, one with a node in
// alarm is in alarm. A page opening on a large fleet takes one such message
// per station instead of every node's reading.
class DeviceTally final
{
public:
    void setNode(const QVariantMap& row);
    void removeNode(int deviceId, const QString& nodeName);
    void removeDevice(int deviceId);
    // Starts again from the node_record rows held in the query; a node never
    // read is not counted.
    void setStored(Query& nodes);
    // {"alarm":n,"commloss":n,"normal":n}
    QByteArray json() const;

private:
    // Worst last: a device is in the worst state of its nodes.
    enum class State { Normal, Alarm, CommLoss };

    static State stateOf(const QString& communicationStatus, const QString& alarmStatus);

    QMap<int, QHash<QString, State>> m_devices;
};
