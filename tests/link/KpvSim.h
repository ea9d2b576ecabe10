#pragma once

#include <QList>
#include <QMap>
#include <QProcess>

// kpv-sim on port COM<port> of the port directory ($SPDMON_PORT_DIR).
class KpvSim final
{
public:
    // Asks the simulator to end (SIGTERM) so that it removes its port link: a
    // dangling one would name whatever pty gets its number next.
    ~KpvSim();
    // With a database, also its devices (--db); options go before the addresses.
    bool start(int port, const QList<int>& addresses, const QString& database = {},
               const QStringList& options = {});
    // Without a pty: as a gateway of each kind on a port it picks; the port by
    // kind ("rtu-over-tcp", "modbus-tcp"), empty when it did not start.
    QMap<QString, quint16> startGateways(const QList<int>& addresses);
    // Runs one stdin command; true when the simulator accepted it.
    bool command(const QString& line);

private:
    // True once an output line starts with the prefix; false on "error:", time-out or exit.
    bool waitFor(const QString& prefix, QString* line = nullptr);

    QProcess m_process;
};
