#include "link/modbus_rtu.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <array>

// The link library against independent slaves: pymodbus on one end of a socat
// pty pair. Faults and timing are tested against kpv-sim.
class TestLinkPymodbus final : public QObject
{
    Q_OBJECT

    static constexpr int port = 41;
    QTemporaryDir m_portDir;
    QProcess m_socat;
    QProcess m_slave;

private slots:
    void initTestCase()
    {
        const QString socat = QStandardPaths::findExecutable("socat");
        QVERIFY2(!socat.isEmpty(), "socat is not installed (./test.sh installs it)");
        // Debian's python3, which has the package; a Python of its own on PATH (pyenv, venv) does not.
        QVERIFY2(QProcess::execute("/usr/bin/python3", {"-c", "import pymodbus.server, serial"}) == 0,
                 "no python3 with pymodbus (Debian packages python3-pymodbus, python3-serial-asyncio; "
                 "./test.sh installs them)");
        QVERIFY(m_portDir.isValid());
        qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
        const QString link = m_portDir.filePath(QString("com%1").arg(port)),
                      peer = m_portDir.filePath("peer");
        m_socat.start(socat, {"pty,raw,echo=0,link=" + link, "pty,raw,echo=0,link=" + peer});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link) && QFileInfo::exists(peer), 10000);
        m_slave.start("/usr/bin/python3", {MODBUS_PEER_SCRIPT, peer, "1", "100", "247"});
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

    // As modbus_peer.py fills registers 0-3; only the elements read are written.
    void readValues()
    {
        QFETCH(int, function);
        QFETCH(int, slave);
        std::array<int, 40> buffer;
        buffer.fill(-5);
        std::array<int, 40> expected = buffer;
        const std::array<int, 4> values = function == 3 ? std::array<int, 4>{0, 1, 65535, slave * 100 + 3}
                                                        : std::array<int, 4>{65535, 0, 1, slave * 100 + 4};
        std::copy(values.begin(), values.end(), expected.begin());
        QCOMPARE((function == 3 ? mbrtufcn03 : mbrtufcn04)(port, slave, 0, 4, buffer.data()), 4);
        QCOMPARE(buffer, expected);
        QCOMPARE((function == 3 ? mbrtufcn03 : mbrtufcn04)(port, slave, 3, 1, buffer.data()), 1);
        QCOMPARE(buffer[0], values[3]);
        QCOMPARE(mbrtuLastFailure(port), int(MBRTU_GOOD));
        // Past the slave's registers: an exception reply, not a bad one.
        QCOMPARE((function == 3 ? mbrtufcn03 : mbrtufcn04)(port, slave, 3, 2, buffer.data()), -1);
        QCOMPARE(mbrtuLastFailure(port), int(MBRTU_EXCEPTION_REPLY));
    }
};

QTEST_GUILESS_MAIN(TestLinkPymodbus)
#include "LinkPymodbusTest.moc"
