#include "ChildProcess.h"

#include <QDeadlineTimer>

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::start(const QString& program, const QStringList& arguments)
{
    m_process.start(program, arguments);
    return m_process.waitForStarted(10000);
}

QString ChildProcess::waitForLine(const QStringList& prefixes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            for (const QString& prefix : prefixes) {
                if (line.startsWith(prefix))
                    return line;
            }
        }
        if (deadline.hasExpired() || !isRunning())
            return {};
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

void ChildProcess::writeLine(const QString& line)
{
    m_process.write(line.toLocal8Bit() + '\n');
    m_process.waitForBytesWritten(5000);
}

void ChildProcess::stop()
{
    if (!isRunning())
        return;
    // A link left dangling would name whatever pty gets its number next,
    // possibly one of a test running in parallel.
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ChildProcess::errorOutput()
{
    return QString::fromLocal8Bit(m_process.readAllStandardError());
}
