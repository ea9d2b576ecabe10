#pragma once

#include <QString>
#include <array>

class QDateTime;
class Query;

// The one device type and the nodes every new device of that type gets.
namespace StandardNodes {

inline const QString kKpv = QStringLiteral("KPV");

struct Node
{
    QString name;
    int code; // Modbus function that reads it
    int reg;
    QString dataType;
    int lower;
    int upper;
    QString alarmType;
};

const std::array<Node, 3>& kpv();

// Inserts the KPV nodes of one device in the order of kpv(): one statement,
// run once per node. A failing insert throws; the rows before it stay.
void insertKpv(Query& query, int deviceId, const QString& deviceName, const QDateTime& installDate);

} // namespace StandardNodes
