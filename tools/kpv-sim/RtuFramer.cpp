#include "tools/kpv-sim/RtuFramer.h"

namespace {

constexpr int readRequestSize = 8;
constexpr int minimumFrameSize = 4; // address, function, CRC

bool isReadFunction(char function)
{
    return function == 3 || function == 4;
}

} // namespace

quint16 RtuFramer::crc16(const QByteArray& bytes)
{
    quint16 crc = 0xFFFF;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

QByteArray RtuFramer::withCrc(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

bool RtuFramer::hasValidCrc(const QByteArray& frame)
{
    if (frame.size() < minimumFrameSize)
        return false;
    const QByteArray body = frame.left(frame.size() - 2);
    return withCrc(body) == frame;
}

QList<QByteArray> RtuFramer::feed(const QByteArray& bytes)
{
    m_buffer.append(bytes);
    QList<QByteArray> frames;
    while (m_buffer.size() >= readRequestSize && isReadFunction(m_buffer.at(1)) &&
           hasValidCrc(m_buffer.left(readRequestSize))) {
        frames.append(m_buffer.left(readRequestSize));
        m_buffer.remove(0, readRequestSize);
    }
    return frames;
}

QByteArray RtuFramer::idle()
{
    QByteArray frame;
    frame.swap(m_buffer);
    return hasValidCrc(frame) ? frame : QByteArray();
}
