#include "link/SerialPortList.h"

#include "link/PortDirectory.h"
#include "link/PortsConfig.h"
#include "link/modbus_rtu.h"

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
    return serialPortNames(locations, PortDirectory(PortDirectory::userDirectory()),
                           PortsConfig::load(PortsConfig::userPath()));
}

QStringList serialPortNames(const QStringList& systemLocations, const PortDirectory& directory,
                            const PortsConfig& gateways)
{
    QStringList names;
    for (const QString& location : systemLocations) {
        const int port = PortDirectory::defaultPortNumber(location.toStdString());
        if (port > 0 && !directory.hasLink(port) && !gateways.gateway(port))
            names.append(displayName(location, port));
    }
    for (const PortDirectory::Link& link : directory.links()) {
        // A dangling link (a simulator that has stopped) names no port.
        if (QFileInfo::exists(QString::fromStdString(directory.linkPath(link.port))) &&
            !gateways.gateway(link.port))
            names.append(displayName(QString::fromStdString(link.target), link.port));
    }
    for (const PortsConfig::Gateway& gateway : gateways.gateways())
        names.append(displayName(QString::fromStdString(PortsConfig::describe(gateway)), gateway.port));
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

QString gatewayOpenProblem(int port, int failure)
{
    if (failure == MBRTU_OPEN_GOOD || failure == MBRTU_OPEN_NO_DEVICE)
        return {};
    const PortsConfig config = PortsConfig::load(PortsConfig::userPath());
    if (failure == MBRTU_OPEN_BAD_LINE && config.problem(port))
        return QString::fromStdString(config.problem(port)->text);
    const PortsConfig::Gateway* gateway = config.gateway(port);
    if (!gateway)
        return {};
    const QString name = QString::fromStdString(PortsConfig::describe(*gateway));
    switch (failure) {
    case MBRTU_OPEN_NO_HOST:
        return QStringLiteral("找不到网关主机 %1").arg(name);
    case MBRTU_OPEN_REFUSED:
        return QStringLiteral("网关 %1 拒绝连接").arg(name);
    case MBRTU_OPEN_TIMEOUT:
        return QStringLiteral("网关 %1 在 3 秒内没有应答").arg(name);
    case MBRTU_OPEN_IN_USE:
        return QStringLiteral("网关 %1 已由本程序的另一串口号使用").arg(name);
    default:
        return QStringLiteral("连不上网关 %1").arg(name);
    }
}
