#include "KpvSim.h"
#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/LineTime.h"
#include "tools/kpv-sim/MbapFramer.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>

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
QByteArray over(const QString& endpoint, const QByteArray& rtu)
{
    return endpoint == "modbus-tcp" ? mbap(rtu) : rtu;
}
// What arrived on the socket until there were `size` bytes, at most 5 s.
QByteArray receive(QTcpSocket* socket, qsizetype size)
{
    QByteArray got;
    while (got.size() < size && (socket->bytesAvailable() || socket->waitForReadyRead(5000)))
        got += socket->read(size - got.size());
    return got;
}
bool answered(QTcpSocket* socket, const QByteArray& reply)
{
    return receive(socket, reply.size()) == reply;
}
using Frames = QList<QByteArray>;
} // namespace

// The simulator's slave side: framing of requests and answers, over its TCP
// endpoints. Its CRC is checked by every exchange with libmodbus in the link
// tests, and by pymodbus here.
class TestKpvSimProtocol final : public QObject
{
    Q_OBJECT

    KpvSim m_sim;
    QMap<QString, quint16> m_ports;

    bool commands(const QString& list) // separated by ';'
    {
        const QStringList commands = list.split(';', Qt::SkipEmptyParts);
        return std::all_of(commands.begin(), commands.end(),
                           [&](const QString& c) { return m_sim.command(c); });
    }
    void connectTo(QTcpSocket* socket, const QString& endpoint)
    {
        socket->connectToHost("127.0.0.1", m_ports.value(endpoint));
        QVERIFY2(socket->waitForConnected(5000), qPrintable(socket->errorString()));
    }

private slots:
    void initTestCase()
    {
        m_ports = m_sim.startGateways({2, 7});
        QVERIFY(m_ports.value("rtu-over-tcp") && m_ports.value("modbus-tcp"));
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
        const QByteArray a = frame("0703000B0001"), b = frame("F70400050002"), first = mbap(a);
        QTest::newRow("two in one chunk") << Frames{first + mbap(b)} << Frames{a, b};
        QTest::newRow("split across chunks")
            << Frames{first.left(5), first.mid(5) + mbap(b).left(9), mbap(b).mid(9)} << Frames{a, b};
        QTest::newRow("protocol 1") << Frames{first + QByteArray::fromHex("0A0100010006")} << Frames{a, ""};
        QTest::newRow("length 255") << Frames{QByteArray::fromHex("0A01000000FF07")} << Frames{""};
    }

    void mbapFraming()
    {
        QFETCH(Frames, chunks);
        MbapFramer framer;
        Frames got;
        for (const QByteArray& chunk : chunks) {
            QList<MbapFramer::Request> requests;
            const bool inStep = framer.feed(chunk, &requests);
            for (const MbapFramer::Request& request : requests)
                got += request.frame;
            if (!inStep)
                got += "";
        }
        QTEST(got, "frames");
    }

    void answers_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QString>("setup"); // commands separated by ';'
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: no answer
        // Modbus TCP has no CRC: the gateway passes on only replies whose CRC checks.
        const auto add = [](const char* name, const QString& setup, const QByteArray& request,
                            const QByteArray& reply, bool passed = true) {
            QTest::addRow("rtu-over-tcp, %s", name) << "rtu-over-tcp" << setup << request << reply;
            QTest::addRow("modbus-tcp, %s", name)
                << "modbus-tcp" << setup << mbap(request) << (passed ? mbap(reply) : QByteArray());
        };
        const QByteArray r11 = frame("0703000B0001"); // register 11 (0000) of device 7
        QByteArray badCrc = frame("0703020000");
        badCrc[6] = char(badCrc.at(6) ^ 0x5A);
        add("unsupported function", "", frame("0206000B0001"), frame("028601"));
        add("missing register", "", frame("070300280001"), frame("078302"));
        add("whole block, unset read 0", "set 7 5 3;abnormal 7", frame("070300050007"),
            frame("07030E0003000000000000FFFF0000FFFF"));
        add("strict refuses the block", "strict 7", frame("070300050007"), frame("078302"));
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
        QVERIFY(commands("normal all;" + setup));
        QTcpSocket socket;
        connectTo(&socket, endpoint);
        socket.write(request);
        const QByteArray got = receive(&socket, reply == "noise" ? 7 : reply.size());
        // A request to device 2 after it: the answer to ours comes first, at once, or none at all.
        socket.write(over(endpoint, frame("0204000B0001")));
        QVERIFY(answered(&socket, over(endpoint, frame("0204020000"))));
        if (reply == "noise") // random bytes of a reply's length that fail the CRC
            QVERIFY(got.size() == 7 && !RtuFramer::hasValidCrc(got));
        else
            QCOMPARE(got, reply);
    }

    void connections_data()
    {
        QTest::addColumn<QString>("endpoint");
        for (const char* endpoint : {"rtu-over-tcp", "modbus-tcp"})
            QTest::newRow(endpoint) << QString(endpoint);
    }

    // Two clients at once, one waiting for a late device: each gets its own
    // answers only; then the gateway goes away and comes back on its port, and
    // pymodbus's client reads as other programs would: framing and CRC as it expects them.
    void connections()
    {
        QFETCH(QString, endpoint);
        const auto on = [&](const char* hex) { return over(endpoint, frame(hex)); };
        QVERIFY(commands("normal all;set 7 11 0x1234;late 7 200"));
        QTcpSocket late, other;
        connectTo(&late, endpoint);
        connectTo(&other, endpoint);
        late.write(on("0703000B0001"));
        other.write(on("0203000B0001"));
        QVERIFY(answered(&other, on("0203020000")));
        QVERIFY(answered(&late, on("0703021234")));
        other.write(on("0204000B0001"));
        QVERIFY(answered(&other, on("0204020000")));

        QVERIFY(m_sim.command("gateway down"));
        QTRY_COMPARE(other.state(), QAbstractSocket::UnconnectedState);
        QTcpSocket refused;
        refused.connectToHost("127.0.0.1", m_ports.value(endpoint));
        QVERIFY(!refused.waitForConnected(5000));
        QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
        QVERIFY(m_sim.command("gateway up"));
        QTcpSocket again;
        connectTo(&again, endpoint);
        again.write(on("0203000B0001"));
        QVERIFY(answered(&again, on("0203020000")));

        QVERIFY(commands("abnormal 7;set 7 12 4660;silent 2"));
        QProcess client; // reads slave/function/register/count
        client.start("/usr/bin/python3",
                     {MODBUS_READER_SCRIPT, endpoint, QString::number(m_ports.value(endpoint)), "7/3/11/2",
                      "7/4/9/1", "7/3/40/1", "5/3/11/1", "2/4/11/1"});
        QVERIFY(client.waitForFinished(30000));
        QVERIFY2(client.exitCode() == 0, client.readAllStandardError().constData());
        QCOMPARE(QString(client.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 QStringList({"65535 4660", "65535", "exception 2", "no reply", "no reply"}));
    }

    // Expected: characters of (1 + data + parity + stop) bits for both frames
    // and two 3.5-character silences (1750 us each above 19200 baud), plus
    // the turnaround, in microseconds.
    void lineTime_data()
    {
        QTest::addColumn<QString>("line"); // baud, data bits, parity, stop bits
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<qint64>("micros");
        QTest::newRow("one register, 9600 8N1") << "9600 8 n 1"
                                                << "" << 7 << qint64(22917 + 5000);
        QTest::newRow("registers 5 to 11") << "9600 8 n 1"
                                           << "" << 19 << qint64(35417 + 5000);
        QTest::newRow("2400 8E2") << "2400 8 e 2"
                                  << "" << 7 << qint64(110000 + 5000);
        QTest::newRow("4800 7O1") << "4800 7 o 1"
                                  << "" << 7 << qint64(45833 + 5000);
        QTest::newRow("38400 8N1") << "38400 8 n 1"
                                   << "" << 7 << qint64(3906 + 3500 + 5000);
        QTest::newRow("own turnaround") << "9600 8 n 1"
                                        << "turnaround all 9;turnaround 7 0" << 7 << qint64(22917);
        QTest::newRow("another's turnaround") << "9600 8 n 1"
                                              << "turnaround 2 0" << 7 << qint64(27917);
        QTest::newRow("all after one") << "9600 8 n 1"
                                       << "turnaround 7 0;turnaround all 20" << 7 << qint64(42917);
        QTest::newRow("refused") << "9600 8 n 1"
                                 << "turnaround 7 -1;turnaround 0 1;turnaround 7" << 7 << qint64(27917);
    }

    void lineTime()
    {
        QFETCH(QString, line);
        QFETCH(QString, setup);
        const QStringList f = line.split(' ');
        LineTime time({f[0].toInt(), f[1].toInt(), f[2].at(0).toLatin1(), f[3].toInt()});
        const bool accepted = QByteArray(QTest::currentDataTag()) != "refused";
        for (const QString& command : setup.split(';', Qt::SkipEmptyParts)) {
            QStringList lines;
            QVERIFY(LineTime::handles(command));
            QCOMPARE(time.execute(command, &lines), accepted);
        }
        QFETCH(int, replyBytes);
        QFETCH(qint64, micros);
        QVERIFY(qAbs(time.exchange(7, 8, replyBytes).count() - micros) <= 1);
    }
};

QTEST_GUILESS_MAIN(TestKpvSimProtocol)
#include "KpvSimProtocolTest.moc"
