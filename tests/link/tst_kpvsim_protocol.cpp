#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QTest>

namespace {

QByteArray frame(const QByteArray& hexWithoutCrc)
{
    return RtuFramer::withCrc(QByteArray::fromHex(hexWithoutCrc));
}

QByteArray readRequest(int address, int function, int reg, int count)
{
    return frame(QString::asprintf("%02X%02X%04X%04X", address, function, reg, count).toLatin1());
}

} // namespace

// The simulator's slave side: framing of requests and answers.
class TestKpvSimProtocol final : public QObject
{
    Q_OBJECT

private slots:
    void crcOfKnownFrames_data()
    {
        // Frames with their CRC as sent by other implementations.
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("Modbus serial guide") << QByteArray::fromHex("1103006B00037687");
        QTest::newRow("request from libmodbus") << QByteArray::fromHex("0203000B0001F5FB");
        QTest::newRow("reply from libmodbus's peer") << QByteArray::fromHex("0203020000FC44");
    }

    void crcOfKnownFrames()
    {
        QFETCH(QByteArray, frame);
        QVERIFY(RtuFramer::hasValidCrc(frame));
        QCOMPARE(RtuFramer::withCrc(frame.left(frame.size() - 2)), frame);
        frame[2] = char(frame.at(2) ^ 0x01);
        QVERIFY(!RtuFramer::hasValidCrc(frame));
    }

    void framing_data()
    {
        // An empty chunk stands for the line going idle.
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("frames");
        const QByteArray first = readRequest(1, 3, 11, 1);
        const QByteArray second = readRequest(247, 4, 5, 2);
        QList<QByteArray> bytes;
        for (const char byte : first)
            bytes.append(QByteArray(1, byte));
        QByteArray corrupt = first;
        corrupt[7] = char(corrupt.at(7) ^ 0x10);
        // A function the devices lack is a frame only once the line is idle.
        const QByteArray write = frame("0106000B0001");
        using Chunks = QList<QByteArray>;
        QTest::newRow("byte by byte") << bytes << Chunks{first};
        QTest::newRow("two in one chunk") << Chunks{first + second} << Chunks{first, second};
        QTest::newRow("split across chunks")
            << Chunks{first.left(5), first.mid(5) + second.left(2), second.mid(2)} << Chunks{first, second};
        QTest::newRow("bad CRC dropped at the gap") << Chunks{corrupt, {}, first} << Chunks{first};
        QTest::newRow("noise dropped at the gap")
            << Chunks{QByteArray::fromHex("FF0312"), {}, first} << Chunks{first};
        QTest::newRow("other function before the gap") << Chunks{write} << Chunks{};
        QTest::newRow("other function at the gap") << Chunks{write, {}} << Chunks{write};
    }

    void framing()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QByteArray>, frames);
        RtuFramer framer;
        QList<QByteArray> got;
        for (const QByteArray& chunk : chunks) {
            if (!chunk.isEmpty())
                got += framer.feed(chunk);
            else if (const QByteArray idle = framer.idle(); !idle.isEmpty())
                got += idle;
        }
        QCOMPARE(got, frames);
    }

    void answers_data()
    {
        QTest::addColumn<QString>("setup"); // commands separated by ';'
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: no answer
        QTest::newRow("unsupported function") << "" << frame("0206000B0001") << frame("028601");
        QTest::newRow("no such device") << "" << readRequest(3, 3, 11, 1) << QByteArray();
        // The count stays at the largest register value instead of wrapping to 0.
        QTest::newRow("surge count at the top")
            << "surge all 2;surge 7 65535" << readRequest(7, 3, 5, 1) << frame("070302FFFF");
        // Faulty answers to a read of register 11 (0000) of device 7, and back to normal.
        const QByteArray r11 = readRequest(7, 3, 11, 1);
        QByteArray badCrc = frame("0703020000");
        badCrc[6] = char(badCrc.at(6) ^ 0x5A);
        QTest::newRow("garbage crc") << "garbage 7 crc" << r11 << badCrc;
        QTest::newRow("garbage address") << "garbage 7 address" << r11 << frame("0803020000");
        QTest::newRow("garbage short") << "garbage 7 short" << r11 << frame("0703020000").left(4);
        QTest::newRow("garbage exception") << "garbage 7 exception" << r11 << frame("078304");
        QTest::newRow("garbage noise") << "garbage 7 noise" << r11 << QByteArray("noise");
        QTest::newRow("normal again") << "garbage 7 crc;silent 7;normal 7" << r11 << frame("0703020000");
    }

    void answers()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        KpvBus bus({2, 7});
        for (const QString& command : setup.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            QVERIFY2(bus.execute(command).ok, qPrintable(command));
        const KpvBus::Reply answer = bus.answer(request);
        if (reply == "noise") // random bytes of a reply's length that fail the CRC
            QVERIFY(answer.bytes.size() == 7 && !RtuFramer::hasValidCrc(answer.bytes));
        else
            QCOMPARE(answer.bytes, reply);
        QCOMPARE(answer.delayMs, 0);
    }
};

QTEST_GUILESS_MAIN(TestKpvSimProtocol)
#include "tst_kpvsim_protocol.moc"
