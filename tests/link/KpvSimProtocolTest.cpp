#include "tools/kpv-sim/KpvBus.h"
#include "tools/kpv-sim/LineTime.h"
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
