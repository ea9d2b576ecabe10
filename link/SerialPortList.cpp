#include "link/SerialPortList.h"

#include "link/PortDirectory.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

QString displayName(const QString& device, int port)
{
    const QString devPrefix = QStringLiteral("/dev/");
    const QString name = device.startsWith(devPrefix) ? device.mid(devPrefix.size()) : device;
    return QStringLiteral("%1 = COM%2").arg(name).arg(port);
}

} // namespace

QStringList serialPortNames()
{
    QStringList locations;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        locations.append(info.systemLocation());
    return serialPortNames(locations, PortDirectory(PortDirectory::userDirectory()));
}

QStringList serialPortNames(const QStringList& systemLocations, const PortDirectory& directory)
{
    QStringList names;
    for (const QString& location : systemLocations) {
        const int port = PortDirectory::defaultPortNumber(location.toStdString());
        if (port > 0 && !directory.hasLink(port))
            names.append(displayName(location, port));
    }
    for (const PortDirectory::Link& link : directory.links()) {
        // A dangling link (a simulator that has stopped) names no port.
        if (QFileInfo::exists(QString::fromStdString(directory.linkPath(link.port))))
            names.append(displayName(QString::fromStdString(link.target), link.port));
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    names.removeDuplicates();
    return names;
}

QString portNumberText(const QString& portName)
{
    qsizetype start = portName.size();
    while (start > 0 && portName.at(start - 1) >= QLatin1Char('0') &&
           portName.at(start - 1) <= QLatin1Char('9'))
        --start;
    return portName.mid(start);
}
