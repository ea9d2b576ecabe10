#include "SocatPair.h"

#include "LinkTestTools.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

SocatPair::SocatPair(QString directory) : m_directory(std::move(directory)) {}

bool SocatPair::start(int port)
{
    const QString linkPath = m_directory + QStringLiteral("/com%1").arg(port);
    m_peerPath = m_directory + QStringLiteral("/peer%1").arg(port);
    QFile::remove(linkPath);
    QFile::remove(m_peerPath);
    const QString options = QStringLiteral("pty,raw,echo=0,link=");
    if (!m_process.start(LinkTestTools::socatPath(), {options + linkPath, options + m_peerPath}))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(linkPath) && QFileInfo::exists(m_peerPath))
            return true;
        QThread::msleep(20);
    }
    return false;
}
