#pragma once

#include "device/DeviceChecks.h"

class QDateTime;
class Query;

// The writes of the device dialog's Save, on the dialog's query, after the
// checks have passed. Numbers are written as integers; a value the table
// refuses throws the database's error.
namespace NodeWrites {

// The names of the device's nodes, as stored.
QStringList nodeNames(Query& query, int deviceId);

// How the operation log shows what is stored, so that a change can say what
// it was and what it became: a device as "设备3 KPV3 安装日期2026-01-01", a
// node's settings as "功能码3 寄存器0 开关量 告警类型..." (with the limits of an
// analogue node). Empty when there is no such device or node.
QString deviceText(Query& query, int deviceId);
QString nodeSettings(Query& query, int deviceId, const QString& nodeName);

// Changes every row of the device deviceId: its address (the trimmed
// address text), trimmed name and install date. Returns how many rows it
// changed; with none found nothing is written.
int saveDevice(Query& query, int deviceId, const QString& address, const QString& name,
               const QDateTime& installed);

// Changes the node that the trimmed address and node name find, or adds it
// when there is none. A switch node's stored limits are kept on change and
// left empty on add. Returns true when the node was added.
bool saveNode(Query& query, const DeviceChecks::NodeInput& input);

} // namespace NodeWrites
