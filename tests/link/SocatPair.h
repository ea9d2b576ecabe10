#pragma once

#include "ChildProcess.h"

#include <QString>

// Two linked pseudo-terminals made by socat: one end as port COM<N> of the
// test's port directory, the other for an independent slave.
class SocatPair final
{
public:
    explicit SocatPair(QString directory);

    bool start(int port);
    QString peerPath() const { return m_peerPath; }

private:
    const QString m_directory;
    QString m_peerPath;
    ChildProcess m_process;
};
