#pragma once

#include <QString>
#include <array>

class QDateTime;
class Query;

// Texts a node row carries for its data type and alarm type.
namespace NodeTexts {
inline const QString kSwitch = QStringLiteral("开关量");
inline const QString kAnalogue = QStringLiteral("模拟量");
inline const QString kZeroNormal = QStringLiteral("0000(正常)/FFFF(异常)");
inline const QString kFfffNormal = QStringLiteral("FFFF(正常)/0000(异常)");
} // namespace NodeTexts

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
