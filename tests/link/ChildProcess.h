#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A helper program run by a test: started, talked to line by line on its
// standard streams, and stopped at the end of the test at the latest.
class ChildProcess final
{
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const QString& program, const QStringList& arguments);
    // Waits for a line of standard output starting with one of the prefixes;
    // returns it, or an empty text on time-out or exit.
    QString waitForLine(const QStringList& prefixes, int timeoutMs = 10000);
    void writeLine(const QString& line);
    // Asks the program to end (SIGTERM), so that kpv-sim and socat remove
    // their port links; kills it if it does not.
    void stop();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Everything the program wrote to its error output so far, for failure messages.
    QString errorOutput();

private:
    QProcess m_process;
};
