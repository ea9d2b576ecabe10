#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/RtuFramer.h"

#include <QTest>

namespace {
QByteArray frame(const char* hexWithoutCrc)
{
    return RtuFramer::withCrc(QByteArray::fromHex(hexWithoutCrc));
}
using Frames = QList<QByteArray>;
} // namespace

// The simulator's slave side: framing of requests and answers. Its CRC is
// checked by every exchange with libmodbus in the link tests.
class TestKpvSimProtocol final : public QObject
{
    Q_OBJECT

private slots:
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

    void answers_data()
    {
        QTest::addColumn<QString>("setup"); // commands separated by ';'
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");        // empty: no answer
        const QByteArray r11 = frame("0703000B0001"); // register 11 (0000) of device 7
        QByteArray badCrc = frame("0703020000");
        badCrc[6] = char(badCrc.at(6) ^ 0x5A);
        QTest::newRow("unsupported function") << "" << frame("0206000B0001") << frame("028601");
        QTest::newRow("missing register") << "" << frame("070300280001") << frame("078302");
        QTest::newRow("whole block, unset read 0")
            << "surge 7 3;abnormal 7" << frame("070300050007") << frame("07030E0003000000000000FFFF0000FFFF");
        QTest::newRow("strict refuses the block") << "strict 7" << frame("070300050007") << frame("078302");
        QTest::newRow("no such device") << "" << frame("0303000B0001") << QByteArray();
        // The count stays at the largest register value instead of wrapping to 0.
        QTest::newRow("surge count at the top")
            << "surge all 2;surge 7 65535" << frame("070300050001") << frame("070302FFFF");
        QTest::newRow("garbage crc") << "garbage 7 crc" << r11 << badCrc;
        QTest::newRow("garbage address") << "garbage 7 address" << r11 << frame("0803020000");
        QTest::newRow("garbage short") << "garbage 7 short" << r11 << frame("0703020000").left(4);
        QTest::newRow("garbage exception") << "garbage 7 exception" << r11 << frame("078304");
        QTest::newRow("garbage noise") << "garbage 7 noise" << r11 << QByteArray("noise");
        QTest::newRow("garbage zero") << "garbage 7 zero" << r11 << frame("0003020000");
        QTest::newRow("normal again") << "garbage 7 crc;silent 7;normal 7" << r11 << frame("0703020000");
    }

    void answers()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, reply);
        KpvBus bus({2, 7});
        for (const QString& command : setup.split(';', Qt::SkipEmptyParts))
            QVERIFY2(bus.execute(command).ok, qPrintable(command));
        QFETCH(QByteArray, request);
        const KpvBus::Reply answer = bus.answer(request);
        if (reply == "noise") // random bytes of a reply's length that fail the CRC
            QVERIFY(answer.bytes.size() == 7 && !RtuFramer::hasValidCrc(answer.bytes));
        else
            QCOMPARE(answer.bytes, reply);
        QCOMPARE(answer.delayMs, 0);
    }
};

QTEST_GUILESS_MAIN(TestKpvSimProtocol)
#include "KpvSimProtocolTest.moc"
