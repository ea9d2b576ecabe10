#include "tools/kpv-sim/MbapFramer.h"

#include "tools/kpv-sim/RtuFramer.h"

namespace {

constexpr int headerSize = 6;      // transaction, protocol, length; the unit id is counted in the length
constexpr int minimumLength = 2;   // unit id and function
constexpr int maximumLength = 254; // a 260-byte ADU

int word(const QByteArray& bytes, int at)
{
    return (static_cast<quint8>(bytes.at(at)) << 8) | static_cast<quint8>(bytes.at(at + 1));
}

void appendWord(QByteArray* bytes, int value)
{
    bytes->append(static_cast<char>(value >> 8));
    bytes->append(static_cast<char>(value & 0xFF));
}

} // namespace

bool MbapFramer::feed(const QByteArray& bytes, QList<Request>* requests)
{
    m_buffer.append(bytes);
    while (m_buffer.size() >= headerSize) {
        const int length = word(m_buffer, 4);
        if (word(m_buffer, 2) != 0 || length < minimumLength || length > maximumLength)
            return false;
        if (m_buffer.size() < headerSize + length)
            break;
        requests->append(
            {static_cast<quint16>(word(m_buffer, 0)), RtuFramer::withCrc(m_buffer.mid(headerSize, length))});
        m_buffer.remove(0, headerSize + length);
    }
    return true;
}

QByteArray MbapFramer::reply(quint16 transaction, const QByteArray& rtuReply)
{
    if (!RtuFramer::hasValidCrc(rtuReply))
        return {};
    const QByteArray unitAndPdu = rtuReply.left(rtuReply.size() - 2);
    QByteArray frame;
    appendWord(&frame, transaction);
    appendWord(&frame, 0);
    appendWord(&frame, static_cast<int>(unitAndPdu.size()));
    return frame + unitAndPdu;
}
