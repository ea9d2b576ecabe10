#include "link/PortDirectory.h"
#include "tools/kpv-sim/DeviceTable.h"
#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/LineTime.h"
#include "tools/kpv-sim/PtyEndpoint.h"
#include "tools/kpv-sim/SimLoop.h"
#include "tools/kpv-sim/TcpEndpoint.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "kpv-sim: %s\n", qPrintable(message));
    std::exit(2);
}

// A whole number within [low, high] or the program ends with what it needed.
int optionNumber(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high)
        fail(QStringLiteral("--%1 must be %2 to %3").arg(option.names().constLast()).arg(low).arg(high));
    return value;
}

// The TCP port of an option, or nullopt when it is not given.
std::optional<quint16> tcpPort(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (!parser.isSet(option))
        return std::nullopt;
    bool ok = false;
    const int port = parser.value(option).toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        fail(QStringLiteral("--%1 needs a TCP port from 0 to 65535").arg(option.names().constFirst()));
    return static_cast<quint16>(port);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kpv-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Simulates a bus of KPV surge-protection devices, Modbus RTU slaves answering functions 03 "
            "and 04 on registers 11 (device status), 9 (surge protector) and 5 (surge count), on a "
            "pseudo-terminal reachable as port COM<N>, and over TCP on 127.0.0.1 as a network gateway. "
            "Prints \"open COM<N>\" and \"open <kind> 127.0.0.1:<port>\" once it is ready.\n\n") +
        KpvBus::commandHelp() + QLatin1Char('\n') + SimLoop::gatewayHelp());
    parser.addHelpOption();
    const QCommandLineOption comOption(
        QStringLiteral("com"),
        QStringLiteral("Port number N: creates the link comN in the port directory "
                       "($SPDMON_PORT_DIR, else $XDG_CONFIG_HOME/spdmon/dosdevices "
                       "or ~/.config/spdmon/dosdevices; see link/PORTS.md)."),
        QStringLiteral("N"));
    const QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("Also simulate every device_id of node_record in this SQLite "
                       "database, including devices added while the simulator runs."),
        QStringLiteral("file"));
    const QCommandLineOption commandOption({QStringLiteral("c"), QStringLiteral("command")},
                                           QStringLiteral("Run a command at start, as if typed; repeatable, "
                                                          "e.g. -c \"abnormal 2\" -c \"silent 3\"."),
                                           QStringLiteral("command"));
    const QCommandLineOption lineTimeOption(
        QStringLiteral("line-time"),
        QStringLiteral("Send each reply only when the exchange would end on the line: request and reply "
                       "at the line settings below, a 3.5-character silence after each and the device's "
                       "turnaround between them (5 ms, see the turnaround command). Without it replies "
                       "go at once."));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
                                        QStringLiteral("Baud rate of the line time (default 9600)."),
                                        QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption dataBitsOption(QStringLiteral("data-bits"),
                                            QStringLiteral("Data bits of the line time, 7 or 8 (default 8)."),
                                            QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption parityOption(
        QStringLiteral("parity"),
        QStringLiteral("Parity of the line time: none, odd or even (default none)."),
        QStringLiteral("parity"), QStringLiteral("none"));
    const QCommandLineOption stopBitsOption(QStringLiteral("stop-bits"),
                                            QStringLiteral("Stop bits of the line time, 1 or 2 (default 1)."),
                                            QStringLiteral("n"), QStringLiteral("1"));
        const QCommandLineOption tcpOption(
        QStringLiteral("tcp"),
        QStringLiteral("Serve RTU over TCP (frames as on the line) on 127.0.0.1:PORT; 0 picks a free port."),
        QStringLiteral("PORT"));
    const QCommandLineOption modbusTcpOption(
        QStringLiteral("modbus-tcp"),
        QStringLiteral("Serve Modbus TCP (unit id = device address) on 127.0.0.1:PORT; 0 picks a free port."),
        QStringLiteral("PORT"));
    parser.addOptions({comOption, dbOption, commandOption, tcpOption, modbusTcpOption, lineTimeOption, baudOption,
                       dataBitsOption, parityOption, stopBitsOption});
    parser.addPositionalArgument(QStringLiteral("address"),
                                 QStringLiteral("Bus addresses to simulate, 1 to 247."),
                                 QStringLiteral("[address...]"));
    parser.process(app);

    std::vector<std::unique_ptr<TcpEndpoint>> endpoints;
    if (const auto tcp = tcpPort(parser, tcpOption))
        endpoints.push_back(std::make_unique<TcpEndpoint>(TcpEndpoint::Kind::RtuOverTcp, *tcp));
    if (const auto modbusTcp = tcpPort(parser, modbusTcpOption))
        endpoints.push_back(std::make_unique<TcpEndpoint>(TcpEndpoint::Kind::ModbusTcp, *modbusTcp));
    bool ok = false;
    const int port = parser.value(comOption).toInt(&ok);
    if ((parser.isSet(comOption) || endpoints.empty()) && (!ok || port < 1))
        fail(QStringLiteral("--com N is required without --tcp or --modbus-tcp, N a port number from 1"));
    QList<int> addresses;
    for (const QString& text : parser.positionalArguments()) {
        const int address = text.toInt(&ok);
        if (!ok || address < 1 || address > 247)
            fail(QStringLiteral("\"%1\" is not a bus address (1 to 247)").arg(text));
        addresses.append(address);
    }
    std::unique_ptr<DeviceTable> devices;
    if (parser.isSet(dbOption)) {
        devices = std::make_unique<DeviceTable>(parser.value(dbOption));
        QList<int> fromDatabase;
        QString error;
        if (!devices->read(&fromDatabase, &error))
            fail(QStringLiteral("cannot read %1: %2").arg(devices->file(), error));
        for (const int address : fromDatabase) {
            if (address >= 1 && address <= 247)
                addresses.append(address);
            else
                std::fprintf(stderr, "kpv-sim: device_id %d is not a bus address, not simulated\n", address);
        }
    }
    // A database without devices is fine: they can be added while running.
    if (addresses.isEmpty() && !devices)
        fail(QStringLiteral("no device to simulate: give addresses or --db"));

    // The station's defaults, as spdmon-initdb stores them: 9600 baud, 8N1.
    LineTime::Settings line;
    line.baud = optionNumber(parser, baudOption, 300, 1000000);
    line.dataBits = optionNumber(parser, dataBitsOption, 7, 8);
    line.stopBits = optionNumber(parser, stopBitsOption, 1, 2);
    const QString parity = parser.value(parityOption).toLower();
    if (parity != QLatin1String("none") && parity != QLatin1String("odd") && parity != QLatin1String("even"))
        fail(QStringLiteral("--parity must be none, odd or even"));
    line.parity = parity.at(0).toLatin1();
    std::unique_ptr<LineTime> lineTime;
    if (parser.isSet(lineTimeOption))
        lineTime = std::make_unique<LineTime>(line);

    KpvBus bus(addresses);
    std::unique_ptr<PtyEndpoint> pty;
    QString error;
    if (parser.isSet(comOption)) {
        const std::string linkPath = PortDirectory(PortDirectory::userDirectory()).linkPath(port);
        if (linkPath.empty())
            fail(QStringLiteral("no port directory: set SPDMON_PORT_DIR or HOME"));
        pty = std::make_unique<PtyEndpoint>(QString::fromStdString(linkPath));
        if (!pty->open(&error))
            fail(error);
    }
    SimLoop loop(pty ? pty->masterFd() : -1, bus, devices.get(), lineTime.get());
    for (const auto& endpoint : endpoints) {
        if (!endpoint->listen(&error))
            fail(error);
        loop.addEndpoint(*endpoint);
    }
    for (const QString& command : parser.values(commandOption)) {
        if (!loop.runCommand(command))
            fail(QStringLiteral("start command \"%1\" failed").arg(command));
    }
    QStringList shown;
    for (const int address : bus.addresses())
        shown.append(QString::number(address));
    if (shown.isEmpty())
        shown.append(QStringLiteral("none yet"));
    QStringList opened;
    if (pty) {
        std::fprintf(stderr, "kpv-sim: %s -> %s\n", qPrintable(pty->linkPath()),
                     qPrintable(pty->slavePath()));
        opened.append(QStringLiteral("COM%1").arg(port));
    }
    for (const auto& endpoint : endpoints)
        opened.append(endpoint->address());
    std::fprintf(stderr, "kpv-sim: devices %s; type help for commands\n",
                 qPrintable(shown.join(QLatin1Char(' '))));
    for (const QString& endpoint : opened)
        std::printf("open %s\n", qPrintable(endpoint));
    std::fflush(stdout);
    loop.run();
    return 0;
}
