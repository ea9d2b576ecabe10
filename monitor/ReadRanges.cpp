#include "monitor/ReadRanges.h"

#include <QHash>
#include <algorithm>

QVector<ReadRange> ReadRanges::build(const QVector<RangeNode>& nodes, const QSet<int>& nodeByNode)
{
    // Groups of one device and one function, in the order the scope first names them.
    QVector<QVector<RangeNode>> groups;
    for (const RangeNode& node : nodes) {
        const auto same = [&node](const QVector<RangeNode>& group) {
            return group.first().deviceId == node.deviceId && group.first().function == node.function;
        };
        const auto found = std::find_if(groups.begin(), groups.end(), same);
        if (found == groups.end())
            groups.append({node});
        else
            found->append(node);
    }
    // A device's groups side by side, so that its requests follow each other.
    QHash<int, int> deviceOrder;
    for (const RangeNode& node : nodes)
        deviceOrder.insert(node.deviceId, deviceOrder.value(node.deviceId, int(deviceOrder.size())));
    std::stable_sort(groups.begin(), groups.end(), [&deviceOrder](const auto& a, const auto& b) {
        return deviceOrder.value(a.first().deviceId) < deviceOrder.value(b.first().deviceId);
    });

    QVector<ReadRange> ranges;
    for (QVector<RangeNode>& group : groups) {
        std::stable_sort(group.begin(), group.end(),
                         [](const RangeNode& a, const RangeNode& b) { return a.reg < b.reg; });
        const bool merge = (group.first().function == 3 || group.first().function == 4) &&
                           !nodeByNode.contains(group.first().deviceId);
        for (const RangeNode& node : group) {
            if (merge && !ranges.isEmpty()) {
                ReadRange& last = ranges.last();
                const bool sameGroup = last.deviceId == node.deviceId && last.function == node.function;
                const int end = last.start + last.count;
                if (sameGroup && node.reg - end <= kMaxHole && node.reg - last.start < kMaxCount) {
                    last.count = std::max(last.count, node.reg - last.start + 1);
                    last.nodes.append(node);
                    continue;
                }
            }
            ranges.append({node.deviceId, node.function, node.reg, 1, {node}});
        }
    }
    return ranges;
}
