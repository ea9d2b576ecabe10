#include "LinkTestTools.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace LinkTestTools {

QString kpvSimPath()
{
    return QStringLiteral(KPV_SIM_PATH);
}

QString peerScriptPath()
{
    return QStringLiteral(MODBUS_PEER_SCRIPT);
}

QString socatPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("socat"));
}

QString pymodbusPython()
{
    // A Python of its own on PATH (pyenv, venv) does not see Debian's package.
    const QStringList candidates{QStringLiteral("/usr/bin/python3"),
                                 QStandardPaths::findExecutable(QStringLiteral("python3"))};
    for (const QString& python : candidates) {
        if (python.isEmpty())
            continue;
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import pymodbus.server, serial")});
        if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return python;
    }
    return {};
}

int openDescriptorCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
            .size());
}

double silentBoundMs(int baud, int dataBits, char parity, int stopBits, int delayMs)
{
    const int requestBytes = 8;
    const int replyBytes = 7; // address, function, byte count, one register, CRC
    const int bitsPerChar = 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits;
    return (requestBytes + replyBytes) * bitsPerChar * 1000.0 / baud + delayMs;
}

} // namespace LinkTestTools
