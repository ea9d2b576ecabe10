#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QTest>

// The simulator's slave side: framing of requests, answers and commands.
class TestKpvSimProtocol final : public QObject
{
    Q_OBJECT

private slots:
    void crcOfKnownFrames_data();
    void crcOfKnownFrames();
    void framing_data();
    void framing();
    void idleLineEndsOtherFrames();

    void answers_data();
    void answers();
    void faultyAnswers_data();
    void faultyAnswers();

    void surgeCountStopsAtTheTop();
    void rejectedCommandsChangeNothing_data();
    void rejectedCommandsChangeNothing();
};

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray readRequest(int address, int function, int reg, int count)
{
    QByteArray body;
    body.append(char(address)).append(char(function));
    body.append(char(reg >> 8)).append(char(reg & 0xFF));
    body.append(char(count >> 8)).append(char(count & 0xFF));
    return RtuFramer::withCrc(body);
}

} // namespace

void TestKpvSimProtocol::crcOfKnownFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    // Frames with their CRC as sent by other implementations.
    QTest::newRow("read request, Modbus serial guide") << hex("1103006B00037687");
    QTest::newRow("read request from libmodbus") << hex("0203000B0001F5FB");
    QTest::newRow("reply from libmodbus's peer") << hex("0203020000FC44");
    QTest::newRow("read request 01/03/0/1") << hex("010300000001840A");
}

void TestKpvSimProtocol::crcOfKnownFrames()
{
    QFETCH(QByteArray, frame);
    QVERIFY(RtuFramer::hasValidCrc(frame));
    QCOMPARE(RtuFramer::withCrc(frame.left(frame.size() - 2)), frame);
    QByteArray damaged = frame;
    damaged[2] = char(damaged.at(2) ^ 0x01);
    QVERIFY(!RtuFramer::hasValidCrc(damaged));
}

void TestKpvSimProtocol::framing_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray first = readRequest(1, 3, 11, 1);
    const QByteArray second = readRequest(247, 4, 5, 2);
    QTest::newRow("whole") << QList<QByteArray>{first} << QList<QByteArray>{first};
    QList<QByteArray> bytes;
    for (const char byte : first)
        bytes.append(QByteArray(1, byte));
    QTest::newRow("byte by byte") << bytes << QList<QByteArray>{first};
    QTest::newRow("two in one chunk")
        << QList<QByteArray>{first + second} << QList<QByteArray>{first, second};
    QTest::newRow("split across chunks")
        << QList<QByteArray>{first.left(5), first.mid(5) + second.left(2), second.mid(2)}
        << QList<QByteArray>{first, second};
    QByteArray corrupt = first;
    corrupt[7] = char(corrupt.at(7) ^ 0x10);
    QTest::newRow("bad CRC waits for the gap") << QList<QByteArray>{corrupt} << QList<QByteArray>();
}

void TestKpvSimProtocol::framing()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    RtuFramer framer;
    QList<QByteArray> got;
    for (const QByteArray& chunk : chunks)
        got += framer.feed(chunk);
    QCOMPARE(got, frames);
}

void TestKpvSimProtocol::idleLineEndsOtherFrames()
{
    RtuFramer framer;
    // Noise is dropped at the gap, and the next request is understood.
    QVERIFY(framer.feed(hex("FF0312")).isEmpty());
    QVERIFY(framer.hasPending());
    QVERIFY(framer.idle().isEmpty());
    QVERIFY(!framer.hasPending());
    const QByteArray request = readRequest(3, 3, 9, 1);
    QCOMPARE(framer.feed(request), QList<QByteArray>{request});
    // A function the devices do not support is a frame only once the line is idle.
    const QByteArray write = RtuFramer::withCrc(hex("0106000B0001"));
    QVERIFY(framer.feed(write).isEmpty());
    QCOMPARE(framer.idle(), write);
}

void TestKpvSimProtocol::answers_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // without CRC; empty: no answer

    QTest::newRow("status, normal") << "" << readRequest(2, 3, 11, 1) << hex("0203020000");
    QTest::newRow("surge protector, abnormal")
        << "abnormal 2" << readRequest(2, 3, 9, 1) << hex("020302FFFF");
    QTest::newRow("function 04 reads the same")
        << "abnormal 2" << readRequest(2, 4, 11, 1) << hex("020402FFFF");
    QTest::newRow("surge count") << "surge 7 3" << readRequest(7, 3, 5, 1) << hex("0703020003");
    QTest::newRow("three registers") << "set 2 10 0x1234" << readRequest(2, 3, 9, 3)
                                     << hex("020306000012340000");
    QTest::newRow("missing register") << "" << readRequest(2, 3, 10, 1) << hex("028302");
    QTest::newRow("range with a gap") << "" << readRequest(2, 3, 9, 3) << hex("028302");
    QTest::newRow("count 0") << "" << readRequest(2, 3, 11, 0) << hex("028303");
    QTest::newRow("unsupported function") << "" << RtuFramer::withCrc(hex("0206000B0001")) << hex("028601");
    QTest::newRow("no such device") << "" << readRequest(3, 3, 11, 1) << QByteArray();
    QTest::newRow("broadcast") << "" << readRequest(0, 3, 11, 1) << QByteArray();
    QTest::newRow("silent") << "silent 7" << readRequest(7, 3, 11, 1) << QByteArray();
    QTest::newRow("normal again") << "silent 7;normal 7" << readRequest(7, 3, 11, 1) << hex("0703020000");
}

void TestKpvSimProtocol::answers()
{
    QFETCH(QString, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    KpvBus bus({2, 7});
    for (const QString& command : setup.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        QVERIFY2(bus.execute(command).ok, qPrintable(command));
    const KpvBus::Reply answer = bus.answer(request);
    QCOMPARE(answer.bytes, reply.isEmpty() ? QByteArray() : RtuFramer::withCrc(reply));
    QCOMPARE(answer.delayMs, 0);
}

void TestKpvSimProtocol::faultyAnswers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("reply"); // exact, CRC included; empty: check the properties only
    const QByteArray good = RtuFramer::withCrc(hex("0503020000"));
    QByteArray badCrc = good;
    badCrc[6] = char(badCrc.at(6) ^ 0x5A);
    QTest::newRow("crc") << "crc" << badCrc;
    QTest::newRow("address") << "address" << RtuFramer::withCrc(hex("0603020000"));
    QTest::newRow("short") << "short" << good.left(4);
    QTest::newRow("exception") << "exception" << RtuFramer::withCrc(hex("058304"));
    QTest::newRow("noise") << "noise" << QByteArray();
}

void TestKpvSimProtocol::faultyAnswers()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, reply);
    KpvBus bus({5});
    QVERIFY(bus.execute(QStringLiteral("garbage 5 ") + kind).ok);
    const QByteArray answer = bus.answer(readRequest(5, 3, 11, 1)).bytes;
    if (!reply.isEmpty()) {
        QCOMPARE(answer, reply);
    } else {
        QCOMPARE(answer.size(), 7);
        QVERIFY(!RtuFramer::hasValidCrc(answer));
    }
    QVERIFY(bus.execute(QStringLiteral("normal 5")).ok);
    QCOMPARE(bus.answer(readRequest(5, 3, 11, 1)).bytes, RtuFramer::withCrc(hex("0503020000")));
}

void TestKpvSimProtocol::surgeCountStopsAtTheTop()
{
    KpvBus bus({1, 2});
    QVERIFY(bus.execute(QStringLiteral("surge all 2")).ok);
    QCOMPARE(bus.answer(readRequest(2, 3, 5, 1)).bytes, RtuFramer::withCrc(hex("0203020002")));
    // The count stays at the largest register value instead of wrapping to 0.
    QVERIFY(bus.execute(QStringLiteral("surge 1 65535")).ok);
    QCOMPARE(bus.answer(readRequest(1, 3, 5, 1)).bytes, RtuFramer::withCrc(hex("010302FFFF")));
}

void TestKpvSimProtocol::rejectedCommandsChangeNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("unknown command") << "explode 1";
    QTest::newRow("no address") << "silent";
    QTest::newRow("unknown address") << "silent 9";
    QTest::newRow("address out of range") << "silent 300";
    QTest::newRow("unknown garbage") << "garbage 1 soup";
    QTest::newRow("late without delay") << "late 1";
    QTest::newRow("surge of 0") << "surge 1 0";
    QTest::newRow("register out of range") << "set 1 70000 1";
    QTest::newRow("value out of range") << "set 1 11 65536";
    QTest::newRow("extra argument") << "silent 1 now";
    QTest::newRow("empty") << "   ";
}

void TestKpvSimProtocol::rejectedCommandsChangeNothing()
{
    QFETCH(QString, command);
    KpvBus bus({1});
    const KpvBus::CommandResult result = bus.execute(command);
    QVERIFY(!result.ok);
    QVERIFY(result.lines.last().startsWith(QLatin1String("error:")));
    QCOMPARE(bus.answer(readRequest(1, 3, 11, 1)).bytes, RtuFramer::withCrc(hex("0103020000")));
    QCOMPARE(bus.answer(readRequest(1, 3, 5, 1)).bytes, RtuFramer::withCrc(hex("0103020000")));
}

QTEST_GUILESS_MAIN(TestKpvSimProtocol)
#include "tst_kpvsim_protocol.moc"
