#include "ChildProcess.h"
#include "KpvSim.h"
#include "LinkTestTools.h"
#include "SocatPair.h"
#include "link/modbus_rtu.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <memory>

// The link library against an independent slave (pymodbus on a socat pty
// pair), and kpv-sim against an independent master (pymodbus's client).
class TestLinkPymodbus final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readValues_data();
    void readValues();
    void exceptionReply();
    void silentSlave();
    void badReplies_data();
    void badReplies();
    void simulatorAgainstPymodbusMaster_data();
    void simulatorAgainstPymodbusMaster();
    void vanishingPortRecoversByItself();

private:
    static constexpr int port = 41;
    static constexpr int simPort = 42;
    static constexpr int delay = 64;
    static constexpr int badCrcSlave = 17;
    static constexpr int wrongAddressSlave = 18;

    bool startSlave();
    static int read(int function, int slave, int reg, int* value = nullptr);
    // Contents of the pymodbus slaves, as modbus_peer.py fills them.
    static int registerValue(int slave, int function, int reg);

    QString m_python;
    QTemporaryDir m_portDir;
    std::unique_ptr<SocatPair> m_socat;
    std::unique_ptr<ChildProcess> m_slave;
};

int TestLinkPymodbus::read(int function, int slave, int reg, int* value)
{
    std::array<int, 40> buffer{};
    const int result = function == 3 ? mbrtufcn03(port, slave, reg, 1, buffer.data())
                                     : mbrtufcn04(port, slave, reg, 1, buffer.data());
    if (value)
        *value = buffer[0];
    return result;
}

int TestLinkPymodbus::registerValue(int slave, int function, int reg)
{
    const int fixed[2][3] = {{0, 1, 65535}, {65535, 0, 1}};
    if (reg < 3)
        return fixed[function == 3 ? 0 : 1][reg];
    return (slave * 100 + reg * 10 + function) & 0xFFFF;
}

bool TestLinkPymodbus::startSlave()
{
    m_socat = std::make_unique<SocatPair>(m_portDir.path());
    if (!m_socat->start(port))
        return false;
    m_slave = std::make_unique<ChildProcess>();
    const QStringList arguments{LinkTestTools::peerScriptPath(),
                                QStringLiteral("serve"),
                                m_socat->peerPath(),
                                QStringLiteral("1"),
                                QStringLiteral("100"),
                                QStringLiteral("247"),
                                QString::number(badCrcSlave),
                                QString::number(wrongAddressSlave),
                                QStringLiteral("--bad-crc=%1").arg(badCrcSlave),
                                QStringLiteral("--wrong-address=%1").arg(wrongAddressSlave)};
    return m_slave->start(m_python, arguments) &&
           m_slave->waitForLine({QStringLiteral("ready")}, 30000) == "ready";
}

void TestLinkPymodbus::initTestCase()
{
    if (LinkTestTools::socatPath().isEmpty())
        QSKIP("socat is not installed");
    m_python = LinkTestTools::pymodbusPython();
    if (m_python.isEmpty())
        QSKIP("no python3 with pymodbus (Debian package python3-pymodbus)");
    QVERIFY(m_portDir.isValid());
    qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
    QVERIFY2(startSlave(), qPrintable(m_slave ? m_slave->errorOutput() : QStringLiteral("socat failed")));
}

void TestLinkPymodbus::init()
{
    QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    mbrtuSetDelay(delay);
}

void TestLinkPymodbus::cleanup()
{
    mbrtuComClose(port);
}

void TestLinkPymodbus::readValues_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("reg");
    for (const int function : {3, 4}) {
        for (const int slave : {1, 100, 247}) {
            for (const int reg : {0, 1, 2, 7})
                QTest::addRow("fc%02d slave %d register %d", function, slave, reg)
                    << function << slave << reg;
        }
    }
}

void TestLinkPymodbus::readValues()
{
    QFETCH(int, function);
    QFETCH(int, slave);
    QFETCH(int, reg);
    int value = -7;
    QCOMPARE(read(function, slave, reg, &value), 1);
    QCOMPARE(value, registerValue(slave, function, reg));
}

void TestLinkPymodbus::exceptionReply()
{
    // pymodbus answers exception 02 for a register it does not have.
    QCOMPARE(read(3, 100, 50), -1);
    QCOMPARE(read(4, 100, 50), -1);
    int value = 0;
    QCOMPARE(read(3, 100, 2, &value), 1);
    QCOMPARE(value, 65535);
}

void TestLinkPymodbus::silentSlave()
{
    const double bound = LinkTestTools::silentBoundMs(9600, 8, 'n', 1, delay);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(read(3, 9, 0), -1);
    const double elapsed = timer.nsecsElapsed() / 1e6;
    QVERIFY2(elapsed <= bound + 400 && elapsed >= 0.9 * bound,
             qPrintable(QStringLiteral("%1 ms, bound %2 ms").arg(elapsed).arg(bound)));
    QCOMPARE(read(3, 1, 1), 1);
}

void TestLinkPymodbus::badReplies_data()
{
    QTest::addColumn<int>("slave");
    QTest::newRow("corrupted CRC") << badCrcSlave;
    QTest::newRow("reply from another address") << wrongAddressSlave;
}

void TestLinkPymodbus::badReplies()
{
    QFETCH(int, slave);
    for (const int function : {3, 4})
        QCOMPARE(read(function, slave, 1), -1);
    int value = -7;
    QCOMPARE(read(3, 247, 7, &value), 1);
    QCOMPARE(value, registerValue(247, 3, 7));
}

void TestLinkPymodbus::simulatorAgainstPymodbusMaster_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("expected");
    QTest::newRow("status normal") << "normal 2" << 3 << 11 << "0";
    QTest::newRow("surge protector abnormal") << "abnormal 2" << 3 << 9 << "65535";
    QTest::newRow("surge count, fc04") << "surge 2 5" << 4 << 5 << "5";
    QTest::newRow("value 1") << "set 2 11 1" << 3 << 11 << "1";
    QTest::newRow("missing register") << "normal 2" << 3 << 40 << "error";
    QTest::newRow("corrupted CRC") << "garbage 2 crc" << 3 << 11 << "error";
}

void TestLinkPymodbus::simulatorAgainstPymodbusMaster()
{
    QFETCH(QString, setup);
    QFETCH(int, function);
    QFETCH(int, reg);
    QFETCH(QString, expected);
    KpvSim sim;
    QVERIFY(sim.start(simPort, {2, 5}));
    QVERIFY(sim.command(setup));
    QProcess client;
    client.start(m_python, {LinkTestTools::peerScriptPath(), QStringLiteral("read"),
                            m_portDir.path() + QStringLiteral("/com%1").arg(simPort), QStringLiteral("2"),
                            QString::number(function), QString::number(reg)});
    QVERIFY(client.waitForFinished(30000));
    QCOMPARE(QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed(), expected);
}

void TestLinkPymodbus::vanishingPortRecoversByItself()
{
    QCOMPARE(read(3, 1, 2), 1);
    const int descriptors = LinkTestTools::openDescriptorCount();

    m_slave.reset();
    m_socat.reset(); // both pty ends gone, as with an adapter pulled out
    const double bound = LinkTestTools::silentBoundMs(9600, 8, 'n', 1, delay);
    for (int i = 0; i < 25; ++i) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(read(3, 1, 2), -1);
        QVERIFY(timer.elapsed() <= bound + 400);
        QTest::qWait(50);
    }

    QVERIFY(startSlave());
    int value = 0;
    QTRY_COMPARE_WITH_TIMEOUT(read(3, 1, 2, &value), 1, 5000);
    QCOMPARE(value, 65535);
    QCOMPARE(LinkTestTools::openDescriptorCount(), descriptors);
}

QTEST_GUILESS_MAIN(TestLinkPymodbus)
#include "tst_link_pymodbus.moc"
