#pragma once

#include <QString>

// Texts of the device tree's items. The device tree of the main window and the
// one of the device dialog both read a device's address back from them.

// device_name + "[地址:" + device_id + "]", e.g. KPV1[地址:3].
QString deviceItemText(const QString& deviceName, const QString& deviceId);

// The digits between the first "[" and the first "]" after it, in their order;
// without a "[" or "]" the text is not cut on that side. KPV1[地址:12] gives
// "12", A[1][地址:5] gives "1". The caller converts the result strictly, so a
// text without digits ends the caller with the conversion error.
QString AddressFromItemText(const QString& itemText);
