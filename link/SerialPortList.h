#pragma once

#include <QString>
#include <QStringList>

class PortDirectory;
class PortsConfig;

// The machine's serial ports (Qt's QSerialPortInfo), the comN links of the
// user's port directory and the gateways of the user's ports.conf, each named
// "<device> = COM<N>" (a gateway "192.168.1.50:4001 (RTU over TCP) = COM5")
// so that the name ends in the number the link library opens it by; sorted
// as text, ignoring case.
QStringList serialPortNames();

// As above, for the given system port locations (such as "/dev/ttyUSB0"),
// port directory and gateways. A system port is listed under its default
// number unless a link or a gateway has taken that number; a link is listed
// while its target exists and no gateway has its number.
QStringList serialPortNames(const QStringList& systemLocations, const PortDirectory& directory,
                            const PortsConfig& gateways);

// Why the port's gateway could not be opened, for the failure kind of the
// link library (MBRTU_OPEN_...); empty for a serial port.
QString gatewayOpenProblem(int port, int failure);

// The run of decimal digits that ends the text ("COM12" gives "12", "3" gives
// "3"); empty when the text does not end in a digit.
QString portNumberText(const QString& portName);
