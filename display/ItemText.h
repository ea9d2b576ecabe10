#pragma once

#include <QString>

// The text of a device as the device trees and the overview cards show it:
// device_name + "[地址:" + device_id + "]", e.g. KPV1[地址:3].
QString deviceItemText(const QString& deviceName, const QString& deviceId);
