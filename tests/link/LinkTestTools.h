#pragma once

#include <QString>

// Paths and measurements shared by the link tests.
namespace LinkTestTools {

QString kpvSimPath();
QString peerScriptPath();
// socat from PATH; empty when it is not installed.
QString socatPath();
// A Python interpreter that can import pymodbus (Debian's python3 first);
// empty when there is none.
QString pymodbusPython();
// Descriptors open in this process, to catch leaks.
int openDescriptorCount();
// The longest a read of one register may take with a silent slave: request
// and reply frames at the line's rate, plus the delay in milliseconds.
double silentBoundMs(int baud, int dataBits, char parity, int stopBits, int delayMs);

} // namespace LinkTestTools
