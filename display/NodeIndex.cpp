#include "display/NodeIndex.h"

NodeIndex::NodeIndex(const QVector<NodeKey>& rows)
{
    m_deviceOrdinals.reserve(rows.size());
    m_nodeCounts.reserve(rows.size());
    m_nodeOrdinals.reserve(rows.size());
    int ordinal = 0;
    int previousId = 0;
    for (const NodeKey& row : rows) {
        if (row.deviceId != previousId) {
            previousId = row.deviceId;
            ++ordinal;
        }
        // The first row of an id or of a name decides, as a scan that stops
        // at it would.
        if (!m_deviceOrdinals.contains(row.deviceId))
            m_deviceOrdinals.insert(row.deviceId, ordinal);
        const int count = ++m_nodeCounts[row.deviceId];
        const QPair<int, QString> node(row.deviceId, row.nodeName);
        if (!m_nodeOrdinals.contains(node))
            m_nodeOrdinals.insert(node, count);
    }
}

int NodeIndex::DeviceOrdinal(int deviceId) const
{
    return m_deviceOrdinals.value(deviceId, 0);
}

int NodeIndex::NodeOrdinal(int deviceId, const QString& nodeName) const
{
    return m_nodeOrdinals.value({deviceId, nodeName}, NodeCountOfDevice(deviceId) + 1);
}

int NodeIndex::NodeCountOfDevice(int deviceId) const
{
    return m_nodeCounts.value(deviceId, 0);
}
