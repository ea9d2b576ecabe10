#include "KpvSim.h"

#include <QDeadlineTimer>

KpvSim::~KpvSim()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

bool KpvSim::start(int port, const QList<int>& addresses, const QString& database)
{
    QStringList arguments{QStringLiteral("--com"), QString::number(port)};
    if (!database.isEmpty())
        arguments << QStringLiteral("--db") << database;
    for (const int address : addresses)
        arguments.append(QString::number(address));
    m_process.start(QStringLiteral(KPV_SIM_PATH), arguments);
    const QString ready = QStringLiteral("open COM%1").arg(port);
    return m_process.waitForStarted(10000) && waitForLine({ready}) == ready;
}

bool KpvSim::command(const QString& line)
{
    m_process.write(line.toLocal8Bit() + '\n');
    return waitForLine({QStringLiteral("ok"), QStringLiteral("error:")}).startsWith(QLatin1String("ok"));
}

QString KpvSim::waitForLine(const QStringList& prefixes)
{
    const QDeadlineTimer deadline(10000);
    while (m_process.canReadLine() ||
           m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
        const QString line =
            m_process.canReadLine() ? QString::fromLocal8Bit(m_process.readLine()).trimmed() : "";
        for (const QString& prefix : prefixes) {
            if (!line.isEmpty() && line.startsWith(prefix))
                return line;
        }
    }
    return {};
}
