#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <QVector>

// The device and node of one node_record row.
struct NodeKey
{
    int deviceId = 0;
    QString nodeName;
};

// Card numbers, line indexes and node counts of the system overview, answered
// from one pass over the overview's rows instead of two table scans per row:
// the overview asks all three for every row after every poll step.
class NodeIndex final
{
public:
    // rows: node_record ordered by device_id ascending, node_name ascending.
    explicit NodeIndex(const QVector<NodeKey>& rows);

    // The device's ordinal among the distinct ids, counted from 1 in row
    // order; 0 when the id is not in the table. An id of 0 before any other
    // counts as no change of device, so it also gives 0.
    int DeviceOrdinal(int deviceId) const;
    // 1 + the number of the device's rows before its first row with this
    // name; the device's row count + 1 when the name is not among them.
    int NodeOrdinal(int deviceId, const QString& nodeName) const;
    // Number of the device's rows.
    int NodeCountOfDevice(int deviceId) const;

private:
    QHash<int, int> m_deviceOrdinals;
    QHash<int, int> m_nodeCounts;
    QHash<QPair<int, QString>, int> m_nodeOrdinals;
};
