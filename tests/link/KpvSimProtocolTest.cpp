#include "KpvSim.h"
#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/MbapFramer.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QTcpSocket>
#include <QTest>
#include <utility>

namespace {
QByteArray frame(const char* hexWithoutCrc)
{
    return RtuFramer::withCrc(QByteArray::fromHex(hexWithoutCrc));
}
// An RTU frame in the MBAP header of transaction 0x0A01, without its CRC.
QByteArray mbap(const QByteArray& rtu)
{
    return QByteArray::fromHex("0A010000") + char(0) + char(rtu.size() - 2) + rtu.chopped(2);
}
// What arrived on the socket until there were `size` bytes, at most 5 s.
QByteArray receive(QTcpSocket* socket, qsizetype size)
{
    QByteArray got;
    while (got.size() < size && (socket->bytesAvailable() || socket->waitForReadyRead(5000)))
        got += socket->read(size - got.size());
    return got;
}
using Frames = QList<QByteArray>;
} // namespace

// The simulator's slave side: framing of requests and answers, in the bus and
// over the TCP endpoints. Its CRC is checked by every exchange with libmodbus
// in the link tests.
class TestKpvSimProtocol final : public QObject
{
    Q_OBJECT

    KpvSim m_sim;
    QMap<QString, quint16> m_ports;

    void connectTo(QTcpSocket* socket, const QString& endpoint)
    {
        socket->connectToHost("127.0.0.1", m_ports.value(endpoint));
        QVERIFY2(socket->waitForConnected(5000), qPrintable(socket->errorString()));
    }

private slots:
    void initTestCase()
    {
        quint16 rtu = 0, modbus = 0;
        QVERIFY(m_sim.startGateways({2, 7}, &rtu, &modbus));
        m_ports = {{"rtu-over-tcp", rtu}, {"modbus-tcp", modbus}};
    }

    void framing_data()
    {
        QTest::addColumn<Frames>("chunks"); // an empty chunk stands for the line going idle
        QTest::addColumn<Frames>("frames");
        const QByteArray first = frame("0103000B0001"), second = frame("F70400050002");
        Frames bytes;
        for (const char byte : first)
            bytes.append(QByteArray(1, byte));
        QByteArray corrupt = first;
        corrupt[7] = char(corrupt.at(7) ^ 0x10);
        // A function the devices lack is a frame only once the line is idle.
        const QByteArray write = frame("0106000B0001");
        QTest::newRow("byte by byte") << bytes << Frames{first};
        QTest::newRow("two in one chunk") << Frames{first + second} << Frames{first, second};
        QTest::newRow("split across chunks")
            << Frames{first.left(5), first.mid(5) + second.left(2), second.mid(2)} << Frames{first, second};
        QTest::newRow("bad CRC dropped at the gap") << Frames{corrupt, {}, first} << Frames{first};
        QTest::newRow("noise dropped at the gap")
            << Frames{QByteArray::fromHex("FF0312"), {}, first} << Frames{first};
        QTest::newRow("other function before the gap") << Frames{write} << Frames{};
        QTest::newRow("other function at the gap") << Frames{write, {}} << Frames{write};
    }

    void framing()
    {
        QFETCH(Frames, chunks);
        RtuFramer framer;
        Frames got;
        for (const QByteArray& chunk : chunks) {
            if (!chunk.isEmpty())
                got += framer.feed(chunk);
            else if (const QByteArray idle = framer.idle(); !idle.isEmpty())
                got += idle;
        }
        QTEST(got, "frames");
    }

    void mbapFraming_data()
    {
        QTest::addColumn<Frames>("chunks");
        QTest::addColumn<Frames>("frames"); // unit id, PDU, CRC; a broken header ends the list with ""
        const QByteArray first = mbap(frame("0703000B0001")), second = mbap(frame("F70400050002"));
        QTest::newRow("two in one chunk")
            << Frames{first + second} << Frames{frame("0703000B0001"), frame("F70400050002")};
        QTest::newRow("split across chunks")
            << Frames{first.left(5), first.mid(5) + second.left(9), second.mid(9)}
            << Frames{frame("0703000B0001"), frame("F70400050002")};
        QTest::newRow("protocol 1") << Frames{first + QByteArray::fromHex("0A01000100060703000B0001")}
                                    << Frames{frame("0703000B0001"), ""};
        QTest::newRow("length 1") << Frames{QByteArray::fromHex("0A010000000107")} << Frames{""};
        QTest::newRow("length 255") << Frames{QByteArray::fromHex("0A01000000FF07")} << Frames{""};
    }

    void mbapFraming()
    {
        QFETCH(Frames, chunks);
        MbapFramer framer;
        QList<MbapFramer::Request> requests;
        Frames got;
        for (const QByteArray& chunk : chunks) {
            const bool inStep = framer.feed(chunk, &requests);
            for (const MbapFramer::Request& request : std::exchange(requests, {})) {
                QCOMPARE(request.transaction, quint16(0x0A01));
                got += request.frame;
            }
            if (!inStep)
                got += "";
        }
        QTEST(got, "frames");
    }

    void answers_data()
    {
        QTest::addColumn<QString>("endpoint"); // "bus": asked directly
        QTest::addColumn<QString>("setup");    // commands separated by ';'
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: no answer
        // Modbus TCP has no CRC: the gateway passes on only replies whose CRC checks.
        const auto add = [](const char* name, const QString& setup, const QByteArray& request,
                            const QByteArray& reply, bool passed = true) {
            for (const QString endpoint : {"bus", "rtu-over-tcp", "modbus-tcp"}) {
                const bool modbus = endpoint == "modbus-tcp";
                QTest::addRow("%s, %s", qPrintable(endpoint), name)
                    << endpoint << setup << (modbus ? mbap(request) : request)
                    << (!modbus  ? reply
                        : passed ? mbap(reply)
                                 : QByteArray());
            }
        };
        const QByteArray r11 = frame("0703000B0001"); // register 11 (0000) of device 7
        QByteArray badCrc = frame("0703020000");
        badCrc[6] = char(badCrc.at(6) ^ 0x5A);
        add("unsupported function", "", frame("0206000B0001"), frame("028601"));
        add("missing register", "", frame("070300280001"), frame("078302"));
        add("no such device", "", frame("0303000B0001"), {}, false);
        // The count stays at the largest register value instead of wrapping to 0.
        add("surge count at the top", "surge all 2;surge 7 65535", frame("070300050001"),
            frame("070302FFFF"));
        add("garbage crc", "garbage 7 crc", r11, badCrc, false);
        add("garbage address", "garbage 7 address", r11, frame("0803020000"));
        add("garbage short", "garbage 7 short", r11, frame("0703020000").left(4), false);
        add("garbage exception", "garbage 7 exception", r11, frame("078304"));
        add("garbage noise", "garbage 7 noise", r11, "noise", false);
        add("garbage zero", "garbage 7 zero", r11, frame("0003020000"));
        add("normal again", "garbage 7 crc;silent 7;normal 7", r11, frame("0703020000"));
    }

    void answers()
    {
        QFETCH(QString, endpoint);
        QFETCH(QString, setup);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        KpvBus bus({2, 7});
        QByteArray got;
        if (endpoint == "bus") {
            for (const QString& command : setup.split(';', Qt::SkipEmptyParts))
                QVERIFY2(bus.execute(command).ok, qPrintable(command));
            const KpvBus::Reply answer = bus.answer(request);
            QCOMPARE(answer.delayMs, 0);
            got = answer.bytes;
        } else {
            for (const QString& command : ("normal all;" + setup).split(';', Qt::SkipEmptyParts))
                QVERIFY2(m_sim.command(command), qPrintable(command));
            // A request to device 2 after it: the answer to ours comes first, or none at all.
            const bool modbus = endpoint == "modbus-tcp";
            const QByteArray probe = frame("0204000B0001"), probeReply = frame("0204020000");
            QTcpSocket socket;
            connectTo(&socket, endpoint);
            socket.write(request);
            got = receive(&socket, reply == "noise" ? 7 : reply.size());
            socket.write(modbus ? mbap(probe) : probe);
            const QByteArray next = modbus ? mbap(probeReply) : probeReply;
            QCOMPARE(receive(&socket, next.size()), next);
        }
        if (reply == "noise") // random bytes of a reply's length that fail the CRC
            QVERIFY(got.size() == 7 && !RtuFramer::hasValidCrc(got));
        else
            QCOMPARE(got, reply);
    }
};

QTEST_GUILESS_MAIN(TestKpvSimProtocol)
#include "KpvSimProtocolTest.moc"
