#pragma once

#include <QSet>
#include <QVector>

// One node of the poll scope as a request sees it.
struct RangeNode final
{
    qint64 rowId = 0; // in node_record
    int deviceId = 0;
    int function = 0; // 3 or 4; any other is read alone, as a single read would
    int reg = 0;
};

// The registers one request reads: count from start, of one device, one function.
struct ReadRange final
{
    int deviceId = 0;
    int function = 0;
    int start = 0;
    int count = 0;
    QVector<RangeNode> nodes; // the nodes it covers, by register
};

// Line mode reads each device in as few requests as the line allows: the
// nodes of one device and one function merge into ranges over holes of a few
// registers, within what one request may ask and the link library's buffer
// takes. The devices keep the order of the scope.
class ReadRanges final
{
public:
    static constexpr int kMaxHole = 8;
    static constexpr int kMaxCount = 40; // the link library reads at most 40 registers a request

    // Devices in nodeByNode get one request per node: they refuse ranges.
    static QVector<ReadRange> build(const QVector<RangeNode>& nodes, const QSet<int>& nodeByNode = {});
};
