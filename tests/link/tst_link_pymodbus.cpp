#include "KpvSim.h"
#include "link/modbus_rtu.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <array>

using namespace Qt::StringLiterals;

// Independent peers: the link library against pymodbus slaves on one end of a
// socat pty pair, and kpv-sim against pymodbus's master. Faults and timing
// are tested once, against kpv-sim, whose faulty frames are checked byte by byte.
class TestLinkPymodbus final : public QObject
{
    Q_OBJECT

    static constexpr int port = 41;
    // Debian's, which has the package; a Python of its own on PATH (pyenv, venv) does not.
    const QString m_python = u"/usr/bin/python3"_s;
    QTemporaryDir m_portDir;
    QProcess m_socat;
    QProcess m_slave;

private slots:
    void initTestCase()
    {
        const QString socat = QStandardPaths::findExecutable(u"socat"_s);
        if (socat.isEmpty())
            QFAIL("socat is not installed (./test.sh installs it)");
        if (QProcess::execute(m_python, {u"-c"_s, u"import pymodbus.server, serial"_s}) != 0)
            QFAIL("no python3 with pymodbus (Debian packages python3-pymodbus, python3-serial-asyncio; "
                  "./test.sh installs them)");
        QVERIFY(m_portDir.isValid());
        qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
        const QString link = m_portDir.filePath(u"com%1"_s.arg(port));
        const QString peer = m_portDir.filePath(u"peer"_s);
        m_socat.start(socat, {"pty,raw,echo=0,link=" + link, "pty,raw,echo=0,link=" + peer});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link) && QFileInfo::exists(peer), 10000);
        m_slave.start(m_python, {MODBUS_PEER_SCRIPT, u"serve"_s, peer, u"1"_s, u"100"_s, u"247"_s});
        QVERIFY2(m_slave.waitForReadyRead(30000) && m_slave.readLine().trimmed() == "ready",
                 m_slave.readAllStandardError().constData());
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&m_slave, &m_socat}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    void readValues_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("slave");
        for (const int function : {3, 4}) {
            for (const int slave : {1, 100, 247})
                QTest::addRow("fc%02d slave %d", function, slave) << function << slave;
        }
    }

    void readValues()
    {
        QFETCH(int, function);
        QFETCH(int, slave);
        // As modbus_peer.py fills registers 0-3.
        const QList<int> expected =
            function == 3 ? QList{0, 1, 65535, slave * 100 + 3} : QList{65535, 0, 1, slave * 100 + 4};
        const auto fcn = function == 3 ? mbrtufcn03 : mbrtufcn04;
        std::array<int, 40> buffer;
        for (int reg = 0; reg < 4; ++reg) {
            QCOMPARE(fcn(port, slave, reg, 1, buffer.data()), 1);
            QCOMPARE(buffer[0], expected[reg]);
        }
    }

    void kpvSimAgainstPymodbusMaster_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("surge protector abnormal") << "abnormal 2" << 3 << 9 << "65535";
        QTest::newRow("surge count, fc04") << "surge 2 5" << 4 << 5 << "5";
        QTest::newRow("missing register") << "normal 2" << 3 << 40 << "error";
        QTest::newRow("corrupted CRC") << "garbage 2 crc" << 3 << 11 << "error";
    }

    void kpvSimAgainstPymodbusMaster()
    {
        QFETCH(QString, setup);
        QFETCH(int, function);
        QFETCH(int, reg);
        QFETCH(QString, expected);
        KpvSim sim;
        QVERIFY(sim.start(42, {2, 5}));
        QVERIFY(sim.command(setup));
        QProcess client;
        client.start(m_python, {MODBUS_PEER_SCRIPT, u"read"_s, m_portDir.filePath(u"com42"_s), u"2"_s,
                                QString::number(function), QString::number(reg)});
        QVERIFY(client.waitForFinished(30000));
        QCOMPARE(client.readAllStandardOutput().trimmed(), expected.toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestLinkPymodbus)
#include "tst_link_pymodbus.moc"
