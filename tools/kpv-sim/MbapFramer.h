#pragma once

#include <QByteArray>
#include <QList>

// Modbus TCP on the simulator's side, as a gateway in front of the bus sees
// it: a request in an MBAP header (transaction id, protocol 0, length, unit
// id) goes to the device whose address is the unit id as an RTU frame, and
// the device's RTU reply goes back under the same transaction id.
class MbapFramer final
{
public:
    struct Request
    {
        quint16 transaction;
        QByteArray frame; // RTU: unit id, PDU, CRC
    };

    // Requests completed by these bytes. False once the stream holds a header
    // no Modbus TCP client sends (protocol other than 0, length out of range):
    // its framing is lost, so the connection has to be closed.
    bool feed(const QByteArray& bytes, QList<Request>* requests);

    // The MBAP frame carrying an RTU reply, or empty when the reply's CRC
    // fails: a gateway passes on only what it could check.
    static QByteArray reply(quint16 transaction, const QByteArray& rtuReply);

private:
    QByteArray m_buffer;
};
