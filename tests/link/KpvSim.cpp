#include "KpvSim.h"

#include <QDeadlineTimer>

KpvSim::~KpvSim()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

bool KpvSim::start(int port, const QList<int>& addresses, const QString& database, const QStringList& options)
{
    QStringList arguments = QStringList{"--com", QString::number(port)} + options;
    if (!database.isEmpty())
        arguments << "--db" << database;
    for (const int address : addresses)
        arguments << QString::number(address);
    m_process.start(KPV_SIM_PATH, arguments);
    return m_process.waitForStarted(10000) && waitFor(QString("open COM%1").arg(port));
}

QMap<QString, quint16> KpvSim::startGateways(const QList<int>& addresses)
{
    QStringList arguments{"--tcp", "0", "--modbus-tcp", "0"};
    for (const int address : addresses)
        arguments << QString::number(address);
    m_process.start(KPV_SIM_PATH, arguments);
    QMap<QString, quint16> ports;
    QString line;
    while (ports.size() < 2 && m_process.waitForStarted(10000) && waitFor("open ", &line))
        ports.insert(line.section(' ', 1, 1), quint16(line.section(':', 1).toUInt()));
    return ports;
}

bool KpvSim::command(const QString& line)
{
    m_process.write(line.toLocal8Bit() + '\n');
    return waitFor("ok");
}

bool KpvSim::waitFor(const QString& prefix, QString* found)
{
    const QDeadlineTimer deadline(10000);
    while (m_process.canReadLine() ||
           m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
        const QString line =
            m_process.canReadLine() ? QString::fromLocal8Bit(m_process.readLine()) : QString();
        if (found)
            *found = line.trimmed();
        if (line.startsWith(prefix) || line.startsWith("error:"))
            return line.startsWith(prefix);
    }
    return false;
}
