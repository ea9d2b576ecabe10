#pragma once

#include <QString>
#include <QStringList>

class PortDirectory;

// The machine's serial ports (Qt's QSerialPortInfo) and the comN links of the
// user's port directory, each named "<device> = COM<N>" so that the name ends
// in the number the link library opens it by; sorted as text, ignoring case.
QStringList serialPortNames();

// As above, for the given system port locations (such as "/dev/ttyUSB0") and
// port directory. A system port is listed under its default number unless a
// link has taken that number; a link is listed while its target exists.
QStringList serialPortNames(const QStringList& systemLocations, const PortDirectory& directory);

// The run of decimal digits that ends the text ("COM12" gives "12", "3" gives
// "3"); empty when the text does not end in a digit.
QString portNumberText(const QString& portName);
