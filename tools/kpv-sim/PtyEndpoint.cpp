#include "tools/kpv-sim/PtyEndpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyEndpoint::PtyEndpoint(QString linkPath) : m_linkPath(std::move(linkPath)) {}

PtyEndpoint::~PtyEndpoint()
{
    // Leave the link alone if someone has pointed it elsewhere meanwhile.
    if (m_linkPlaced && QFileInfo(m_linkPath).symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    if (m_masterFd >= 0)
        ::close(m_masterFd);
}

bool PtyEndpoint::open(QString* error)
{
    m_masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_masterFd < 0 || grantpt(m_masterFd) != 0 || unlockpt(m_masterFd) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_masterFd));
    // Holding the slave side open keeps the master readable when the program
    // under test closes and reopens the port.
    m_slaveFd = ::open(ptsname(m_masterFd), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (m_slaveFd < 0 || tcgetattr(m_slaveFd, &settings) != 0) {
        *error =
            QStringLiteral("cannot open %1: %2").arg(m_slavePath, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    cfmakeraw(&settings);
    tcsetattr(m_slaveFd, TCSANOW, &settings);
    fcntl(m_masterFd, F_SETFL, fcntl(m_masterFd, F_GETFL) | O_NONBLOCK);
    return placeLink(error);
}

bool PtyEndpoint::placeLink(QString* error)
{
    const QFileInfo existing(m_linkPath);
    if (existing.exists() || existing.isSymLink()) {
        // Replace only what is clearly a left-over pty link (or a dangling
        // one); a link to a real adapter is the user's configuration.
        const QString target = existing.symLinkTarget();
        if (!existing.isSymLink() || (existing.exists() && !target.startsWith(QLatin1String("/dev/pts/")))) {
            *error = QStringLiteral("%1 already exists%2; choose another --com")
                         .arg(m_linkPath, target.isEmpty() ? QString() : QStringLiteral(" -> ") + target);
            return false;
        }
    }
    if (!QDir().mkpath(QFileInfo(m_linkPath).absolutePath())) {
        *error = QStringLiteral("cannot create the directory of %1").arg(m_linkPath);
        return false;
    }
    // Link under a temporary name and rename, so the port never lacks a link.
    const QString temporary = m_linkPath + QStringLiteral(".kpv-sim-%1").arg(getpid());
    QFile::remove(temporary);
    if (::symlink(QFile::encodeName(m_slavePath).constData(), QFile::encodeName(temporary).constData()) !=
            0 ||
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_linkPath).constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2")
                     .arg(m_linkPath, QString::fromLocal8Bit(strerror(errno)));
        QFile::remove(temporary);
        return false;
    }
    m_linkPlaced = true;
    return true;
}
