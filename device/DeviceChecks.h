#pragma once

#include <QString>
#include <optional>

// The input checks of the device dialog, one field at a time in a fixed order.
// Each returns the first refusal: its message and the field that gets the
// input focus. A number that is not a whole number throws the conversion's
// AppError instead, as the field's text cannot be judged; only the alarm
// limits, stored as typed, are refused with a message then.
namespace DeviceChecks {

enum class Field {
    Address,
    DeviceName,
    DeviceType,
    NodeName,
    Code,
    Register,
    DataType,
    AlarmType,
    Lower,
    Upper
};

struct Refusal
{
    QString message;
    Field field;
};

using Result = std::optional<Refusal>;

// A device to add: address, name and the chosen device type.
Result newDevice(const QString& address, const QString& name, const QString& type);

// A device's address and new name, as saved in the device group.
Result changedDevice(const QString& address, const QString& name);

// The node group's texts, as typed.
struct NodeInput
{
    QString address;
    QString deviceName;
    QString nodeName;
    QString code;
    QString reg;
    QString dataType;
    QString alarmType;
    QString lower;
    QString upper;
};

Result node(const NodeInput& input);

} // namespace DeviceChecks
