#pragma once

#include <QString>

// The master side of a pseudo-terminal, with a comN link to its slave side so
// that the link library finds it by port number.
class PtyEndpoint final
{
public:
    explicit PtyEndpoint(QString linkPath);
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Creates the pty and the link; on failure returns false with a reason.
    bool open(QString* error);
    int masterFd() const { return m_masterFd; }
    const QString& slavePath() const { return m_slavePath; }
    const QString& linkPath() const { return m_linkPath; }

private:
    bool placeLink(QString* error);

    const QString m_linkPath;
    QString m_slavePath;
    int m_masterFd = -1;
    int m_slaveFd = -1;
    bool m_linkPlaced = false;
};
