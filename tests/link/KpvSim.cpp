#include "KpvSim.h"

#include "LinkTestTools.h"

bool KpvSim::start(int port, const QList<int>& addresses)
{
    QStringList arguments{QStringLiteral("--com"), QString::number(port)};
    for (const int address : addresses)
        arguments.append(QString::number(address));
    if (!m_process.start(LinkTestTools::kpvSimPath(), arguments))
        return false;
    return m_process.waitForLine({QStringLiteral("open COM%1").arg(port)}) ==
           QStringLiteral("open COM%1").arg(port);
}

bool KpvSim::command(const QString& line)
{
    m_process.writeLine(line);
    return m_process.waitForLine({QStringLiteral("ok"), QStringLiteral("error:")})
        .startsWith(QLatin1String("ok"));
}
