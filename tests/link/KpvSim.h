#pragma once

#include "ChildProcess.h"

#include <QList>

// kpv-sim run by a test on port COM<port> of the test's port directory.
class KpvSim final
{
public:
    KpvSim() = default;

    bool start(int port, const QList<int>& addresses);
    // Runs one stdin command and reports whether the simulator accepted it.
    bool command(const QString& line);

private:
    ChildProcess m_process;
};
