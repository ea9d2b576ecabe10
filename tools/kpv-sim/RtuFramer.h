#pragma once

#include <QByteArray>
#include <QList>

// Slave-side splitting of the received byte stream into RTU request frames.
// A read request (function 03/04, 8 bytes) is taken as soon as it is complete
// and its CRC checks; anything else becomes a frame when the line goes idle.
class RtuFramer final
{
public:
    static quint16 crc16(const QByteArray& bytes);
    // Appends the CRC, low byte first as RTU sends it.
    static QByteArray withCrc(QByteArray frame);
    static bool hasValidCrc(const QByteArray& frame);

    // Frames completed by these bytes.
    QList<QByteArray> feed(const QByteArray& bytes);
    // The line has been idle for a frame gap: what is buffered is one frame,
    // returned if its CRC checks (empty otherwise). Clears the buffer.
    QByteArray idle();
    bool hasPending() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};
