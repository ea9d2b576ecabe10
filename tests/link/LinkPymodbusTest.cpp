#include "link/modbus_rtu.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The link library against independent slaves, pymodbus: on one end of a
// socat pty pair (COM41), as a Modbus TCP gateway (COM42) and as a server
// passing RTU frames through TCP (COM43). Faults and timing are tested
// against kpv-sim.
class TestLinkPymodbus final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_socat;
    QProcess m_peers[3]; // serial, modbus-tcp, rtu-over-tcp
    int m_tcpPorts[3] = {};

    void startPeer(int index, const QString& where)
    {
        QProcess& peer = m_peers[index];
        peer.start("/usr/bin/python3", {MODBUS_PEER_SCRIPT, where, "1", "100", "247"});
        QTRY_VERIFY2_WITH_TIMEOUT(peer.canReadLine(), peer.readAllStandardError().constData(), 30000);
        const QList<QByteArray> words = peer.readLine().trimmed().split(' ');
        QCOMPARE(words.value(0), "ready");
        m_tcpPorts[index] = words.value(1).toInt();
    }

    static int read(int function, int port, int slave, int reg, int count, int* buffer)
    {
        return (function == 3 ? mbrtufcn03 : mbrtufcn04)(port, slave, reg, count, buffer);
    }

    // A loopback port where nothing listens, or (silent) where the queue of
    // a listener is full, so that a connect is never answered: an address
    // that does not answer, as networks with a catch-all proxy have none.
    int m_silent[2] = {-1, -1};
    int tcpPort(bool silent)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        if (!silent)
            return close(fd), ntohs(address.sin_port);
        listen(fd, 0);
        m_silent[0] = fd;
        m_silent[1] = socket(AF_INET, SOCK_STREAM, 0);
        ::connect(m_silent[1], reinterpret_cast<sockaddr*>(&address), size);
        return ntohs(address.sin_port);
    }

private slots:
    void initTestCase()
    {
        const QString socat = QStandardPaths::findExecutable("socat");
        QVERIFY2(!socat.isEmpty(), "socat is not installed (./test.sh installs it)");
        // Debian's python3, which has the package; a Python of its own on PATH (pyenv, venv) does not.
        QVERIFY2(QProcess::execute("/usr/bin/python3", {"-c", "import pymodbus.server, serial"}) == 0,
                 "no python3 with pymodbus (Debian packages python3-pymodbus, python3-serial-asyncio; "
                 "./test.sh installs them)");
        QVERIFY(m_dir.isValid());
        qputenv("SPDMON_PORT_DIR", m_dir.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
        const QString link = m_dir.filePath("com41"), peer = m_dir.filePath("peer");
        m_socat.start(socat, {"pty,raw,echo=0,link=" + link, "pty,raw,echo=0,link=" + peer});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link) && QFileInfo::exists(peer), 10000);
        startPeer(0, peer);
        startPeer(1, "modbus-tcp:0");
        startPeer(2, "rtu-over-tcp:0");
        QVERIFY(QDir(m_dir.path()).mkpath("spdmon"));
        QFile conf(m_dir.filePath("spdmon/ports.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QString("# gateways of the test\n"
                           "COM42 = modbus-tcp 127.0.0.1:%1\n"
                           "com43 = rtu-over-tcp localhost:%2\n"
                           "COM44 = modbus-tcp 127.0.0.1:%3\n"
                           "COM45 = rtu-over-tcp 127.0.0.1:%1\n"
                           "COM46 = modbus-tcp 127.0.0.1:%4\n"
                           "COM47 = tcp 127.0.0.1:502\n"
                           "COM1 = modbus-tcp 127.0.0.1:70000\n")
                       .arg(m_tcpPorts[1])
                       .arg(m_tcpPorts[2])
                       .arg(tcpPort(false))
                       .arg(tcpPort(true))
                       .toUtf8());
        conf.close();
        for (const int port : {41, 42, 43})
            QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&m_peers[0], &m_peers[1], &m_peers[2], &m_socat}) {
            process->terminate();
            process->waitForFinished(5000);
        }
        for (const int fd : m_silent)
            close(fd);
    }

    void readValues_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("slave");
        for (const auto& [port, name] : {std::pair(41, "serial"), {42, "modbus-tcp"}, {43, "rtu-over-tcp"}}) {
            for (const int function : {3, 4}) {
                for (const int slave : {1, 100, 247})
                    QTest::addRow("%s fc%02d slave %d", name, function, slave) << port << function << slave;
            }
        }
    }

    // As modbus_peer.py fills registers 0-3; only the elements read are written.
    void readValues()
    {
        QFETCH(int, port);
        QFETCH(int, function);
        QFETCH(int, slave);
        std::array<int, 40> buffer;
        buffer.fill(-5);
        std::array<int, 40> expected = buffer;
        const std::array<int, 4> values = function == 3 ? std::array<int, 4>{0, 1, 65535, slave * 100 + 3}
                                                        : std::array<int, 4>{65535, 0, 1, slave * 100 + 4};
        std::copy(values.begin(), values.end(), expected.begin());
        QCOMPARE(read(function, port, slave, 0, 4, buffer.data()), 4);
        QCOMPARE(buffer, expected);
        QCOMPARE(read(function, port, slave, 3, 1, buffer.data()), 1);
        QCOMPARE(buffer[0], values[3]);
        QCOMPARE(mbrtuLastFailure(port), int(MBRTU_GOOD));
        // Past the slave's registers: an exception reply, not a bad one.
        QCOMPARE(read(function, port, slave, 3, 2, buffer.data()), -1);
        QCOMPARE(mbrtuLastFailure(port), int(MBRTU_EXCEPTION_REPLY));
        // A device that is not there behind a gateway: silence, also when the
        // gateway says so. (pymodbus's serial slaves may miss the next request.)
        if (port == 41)
            return;
        QCOMPARE(read(function, port, 5, 0, 1, buffer.data()), -1);
        QCOMPARE(mbrtuLastFailure(port), int(MBRTU_NO_REPLY));
        QCOMPARE(read(function, port, slave, 3, 1, buffer.data()), 1);
    }

    void openFailures_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("failure");
        QTest::newRow("refused") << 44 << int(MBRTU_OPEN_REFUSED);
        QTest::newRow("gateway already used by COM42") << 45 << int(MBRTU_OPEN_IN_USE);
        QTest::newRow("unknown kind") << 47 << int(MBRTU_OPEN_BAD_LINE);
        QTest::newRow("bad line keeps the serial device out") << 1 << int(MBRTU_OPEN_BAD_LINE);
        QTest::newRow("address that does not answer") << 46 << int(MBRTU_OPEN_TIMEOUT);
    }

    void openFailures()
    {
        QFETCH(int, port);
        QFETCH(int, failure);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), -1);
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(mbrtuOpenFailure(port), failure);
    }

    // The gateway goes away: reads fail at once, not after a reply time-out,
    // and the port connects again by itself once it is back.
    void gatewayComesBack_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("modbus-tcp") << 1;
        QTest::newRow("rtu-over-tcp") << 2;
    }

    void gatewayComesBack()
    {
        QFETCH(int, index);
        const int port = 41 + index;
        mbrtuSetDelay(2000); // a reply time-out would take over two seconds
        std::array<int, 40> buffer{};
        QCOMPARE(mbrtufcn03(port, 1, 3, 1, buffer.data()), 1);
        m_peers[index].kill();
        QVERIFY(m_peers[index].waitForFinished(5000));
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(mbrtufcn03(port, 1, 3, 1, buffer.data()), -1);
            QVERIFY2(clock.restart() < 1000, "a read waited for the gateway that is gone");
            QTest::qWait(300);
        }
        startPeer(index, QString(index == 1 ? "modbus-tcp:%1" : "rtu-over-tcp:%1").arg(m_tcpPorts[index]));
        QTRY_COMPARE_WITH_TIMEOUT(mbrtufcn03(port, 1, 3, 1, buffer.data()), 1, 5000);
        QCOMPARE(buffer[0], 103);
        mbrtuSetDelay(64);
    }
};

QTEST_GUILESS_MAIN(TestLinkPymodbus)
#include "LinkPymodbusTest.moc"
