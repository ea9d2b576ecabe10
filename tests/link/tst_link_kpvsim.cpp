#include "KpvSim.h"
#include "LinkTestTools.h"
#include "link/modbus_rtu.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <atomic>
#include <dlfcn.h>
#include <memory>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

// The link library against the bus simulator on a pseudo-terminal.
class TestLinkKpvSim final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportsExactlyTheSixOperations();
    void refusedOpen_data();
    void refusedOpen();

    void readValues_data();
    void readValues();
    void deviceRegisters();
    void severalRegistersFillOnlyTheirElements();
    void refusedRequests_data();
    void refusedRequests();

    void silentSlaveBound_data();
    void silentSlaveBound();
    void faultyReply_data();
    void faultyReply();
    void lateReplyIsNotTakenForTheNext();
    void busyOnlyDuringARequest();
    void reopenAndClose();
    void vanishingPortRecoversByItself();

private:
    static constexpr int port = 40;
    static constexpr int delay = 64;

    bool command(const QString& line) { return m_sim->command(line); }
    static int read(int function, int slave, int reg, int* value = nullptr);

    QTemporaryDir m_portDir;
    std::unique_ptr<KpvSim> m_sim;
};

int TestLinkKpvSim::read(int function, int slave, int reg, int* value)
{
    std::array<int, 40> buffer{};
    const int result = function == 3 ? mbrtufcn03(port, slave, reg, 1, buffer.data())
                                     : mbrtufcn04(port, slave, reg, 1, buffer.data());
    if (value)
        *value = buffer[0];
    return result;
}

void TestLinkKpvSim::initTestCase()
{
    QVERIFY(m_portDir.isValid());
    qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
    m_sim = std::make_unique<KpvSim>();
    QVERIFY(m_sim->start(port, {1, 2, 17, 247}));
}

void TestLinkKpvSim::init()
{
    QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    mbrtuSetDelay(delay);
}

void TestLinkKpvSim::cleanup()
{
    mbrtuComClose(port);
    if (m_sim)
        QVERIFY(command(QStringLiteral("normal all")));
}

void TestLinkKpvSim::exportsExactlyTheSixOperations()
{
    void* library = dlopen(MODBUS_RTU_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    for (const char* name :
         {"mbrtuComOpen", "mbrtuSetDelay", "mbrtuComWork", "mbrtufcn03", "mbrtufcn04", "mbrtuComClose"})
        QVERIFY2(dlsym(library, name), name);
    // Internals stay private, so they cannot clash with the program's own symbols.
    QVERIFY(!dlsym(library, "_ZN13PortDirectory13userDirectoryB5cxx11Ev"));
    dlclose(library);
}

void TestLinkKpvSim::refusedOpen_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<QByteArray>("parity"); // "null" for a null pointer
    QTest::addColumn<int>("stopBits");
    QTest::newRow("parity x") << port << 9600 << 8 << QByteArray("x") << 1;
    QTest::newRow("parity upper case") << port << 9600 << 8 << QByteArray("N") << 1;
    QTest::newRow("parity word") << port << 9600 << 8 << QByteArray("none") << 1;
    QTest::newRow("parity empty") << port << 9600 << 8 << QByteArray("") << 1;
    QTest::newRow("parity null") << port << 9600 << 8 << QByteArray("null") << 1;
    QTest::newRow("baud 0") << port << 0 << 8 << QByteArray("n") << 1;
    QTest::newRow("baud 12345") << port << 12345 << 8 << QByteArray("n") << 1;
    QTest::newRow("data bits 9") << port << 9600 << 9 << QByteArray("n") << 1;
    QTest::newRow("stop bits 0") << port << 9600 << 8 << QByteArray("n") << 0;
    QTest::newRow("stop bits 3") << port << 9600 << 8 << QByteArray("n") << 3;
    QTest::newRow("port 0") << 0 << 9600 << 8 << QByteArray("n") << 1;
    QTest::newRow("no device for the number") << 500 << 9600 << 8 << QByteArray("n") << 1;
}

void TestLinkKpvSim::refusedOpen()
{
    QFETCH(int, portNumber);
    QFETCH(int, baud);
    QFETCH(int, dataBits);
    QFETCH(QByteArray, parity);
    QFETCH(int, stopBits);
    const char* parityText = parity == "null" ? nullptr : parity.constData();
    QCOMPARE(mbrtuComOpen(portNumber, baud, dataBits, parityText, stopBits), -1);
    // A refused reopen leaves the port closed, not open with the old settings.
    std::array<int, 40> buffer{};
    QCOMPARE(mbrtufcn03(portNumber, 1, 11, 1, buffer.data()), -1);
}

void TestLinkKpvSim::readValues_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    for (const int function : {3, 4}) {
        for (const int slave : {1, 17, 247}) {
            for (const int value : {0, 1, 65535})
                QTest::addRow("fc%02d slave %d value %d", function, slave, value)
                    << function << slave << 11 << value;
        }
    }
    QTest::newRow("register 0") << 3 << 2 << 0 << 4660;
    QTest::newRow("register 65535") << 4 << 2 << 65535 << 43981;
}

void TestLinkKpvSim::readValues()
{
    QFETCH(int, function);
    QFETCH(int, slave);
    QFETCH(int, reg);
    QFETCH(int, value);
    QVERIFY(command(QStringLiteral("set %1 %2 %3").arg(slave).arg(reg).arg(value)));
    int got = -7;
    QCOMPARE(read(function, slave, reg, &got), 1);
    // Read by the caller as a signed 32-bit integer: 65535 stays 65535.
    QCOMPARE(got, value);
}

void TestLinkKpvSim::deviceRegisters()
{
    int value = -1;
    QCOMPARE(read(3, 2, 11, &value), 1);
    QCOMPARE(value, 0);
    QVERIFY(command(QStringLiteral("abnormal 2")));
    QCOMPARE(read(3, 2, 11, &value), 1);
    QCOMPARE(value, 0xFFFF);
    QCOMPARE(read(3, 2, 9, &value), 1);
    QCOMPARE(value, 0xFFFF);
    QCOMPARE(read(3, 1, 9, &value), 1);
    QCOMPARE(value, 0);
    QCOMPARE(read(3, 17, 5, &value), 1);
    const int before = value;
    QVERIFY(command(QStringLiteral("surge 17 2")));
    QCOMPARE(read(3, 17, 5, &value), 1);
    QCOMPARE(value, before + 2);
}

void TestLinkKpvSim::severalRegistersFillOnlyTheirElements()
{
    QVERIFY(command(QStringLiteral("set 1 20 10")));
    QVERIFY(command(QStringLiteral("set 1 21 20")));
    QVERIFY(command(QStringLiteral("set 1 22 30")));
    std::array<int, 40> buffer;
    buffer.fill(-5);
    QCOMPARE(mbrtufcn03(port, 1, 20, 3, buffer.data()), 3);
    QCOMPARE(buffer[0], 10);
    QCOMPARE(buffer[1], 20);
    QCOMPARE(buffer[2], 30);
    for (std::size_t i = 3; i < buffer.size(); ++i)
        QCOMPARE(buffer[i], -5);
}

void TestLinkKpvSim::refusedRequests_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("count");
    QTest::newRow("port not open") << 41 << 1 << 11 << 1;
    QTest::newRow("broadcast address") << port << 0 << 11 << 1;
    QTest::newRow("address 248") << port << 248 << 11 << 1;
    QTest::newRow("count 0") << port << 1 << 11 << 0;
    QTest::newRow("count past the buffer") << port << 1 << 11 << 41;
    QTest::newRow("negative register") << port << 1 << -1 << 1;
    QTest::newRow("past the last register") << port << 1 << 65535 << 2;
}

void TestLinkKpvSim::refusedRequests()
{
    QFETCH(int, portNumber);
    QFETCH(int, slave);
    QFETCH(int, reg);
    QFETCH(int, count);
    std::array<int, 41> buffer{};
    QCOMPARE(mbrtufcn03(portNumber, slave, reg, count, buffer.data()), -1);
    QCOMPARE(mbrtufcn04(portNumber, slave, reg, count, buffer.data()), -1);
    QCOMPARE(buffer, (std::array<int, 41>{}));
    QCOMPARE(mbrtufcn03(port, 1, 11, 1, nullptr), -1);
    // The port is still usable afterwards.
    QCOMPARE(read(3, 1, 11), 1);
}

void TestLinkKpvSim::silentSlaveBound_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<QByteArray>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("9600 8n1, delay 64") << 9600 << 8 << QByteArray("n") << 1 << 64;
    QTest::newRow("2400 8e1, delay 64") << 2400 << 8 << QByteArray("e") << 1 << 64;
    QTest::newRow("38400 7o2, delay 64") << 38400 << 7 << QByteArray("o") << 2 << 64;
    QTest::newRow("9600 8n1, delay 250") << 9600 << 8 << QByteArray("n") << 1 << 250;
    QTest::newRow("19200 8n2, no delay") << 19200 << 8 << QByteArray("n") << 2 << 0;
}

void TestLinkKpvSim::silentSlaveBound()
{
    QFETCH(int, baud);
    QFETCH(int, dataBits);
    QFETCH(QByteArray, parity);
    QFETCH(int, stopBits);
    QFETCH(int, delayMs);
    QCOMPARE(mbrtuComOpen(port, baud, dataBits, parity.constData(), stopBits), 1);
    mbrtuSetDelay(delayMs);
    QVERIFY(command(QStringLiteral("silent 17")));
    const double bound = LinkTestTools::silentBoundMs(baud, dataBits, parity.at(0), stopBits, delayMs);
    for (int attempt = 0; attempt < 3; ++attempt) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(read(3, 17, 11), -1);
        const double elapsed = timer.nsecsElapsed() / 1e6;
        // Never later than the bound (with slack for a loaded machine), and
        // not much earlier either: the delay is the slave's allowance.
        QVERIFY2(elapsed <= bound + 400,
                 qPrintable(QStringLiteral("%1 ms, bound %2 ms").arg(elapsed).arg(bound)));
        QVERIFY2(elapsed >= 0.9 * bound,
                 qPrintable(QStringLiteral("%1 ms, bound %2 ms").arg(elapsed).arg(bound)));
    }
    // Another device on the same line is unaffected.
    QCOMPARE(read(3, 1, 11), 1);
}

void TestLinkKpvSim::faultyReply_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reg");
    QTest::newRow("corrupted CRC") << "garbage 2 crc" << 11;
    QTest::newRow("reply from another address") << "garbage 2 address" << 11;
    QTest::newRow("truncated reply") << "garbage 2 short" << 11;
    QTest::newRow("exception reply") << "garbage 2 exception" << 11;
    QTest::newRow("noise") << "garbage 2 noise" << 11;
    QTest::newRow("register the device lacks") << "normal 2" << 300;
}

void TestLinkKpvSim::faultyReply()
{
    QFETCH(QString, fault);
    QFETCH(int, reg);
    QVERIFY(command(QStringLiteral("set 2 12 4242")));
    QVERIFY(command(fault));
    const double bound = LinkTestTools::silentBoundMs(9600, 8, 'n', 1, delay);
    for (int attempt = 0; attempt < 3; ++attempt) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(read(3, 2, reg), -1);
        QVERIFY2(timer.elapsed() <= bound + 400, qPrintable(QString::number(timer.elapsed())));
    }
    QVERIFY(command(QStringLiteral("normal 2")));
    int value = 0;
    QCOMPARE(read(3, 2, 12, &value), 1);
    QCOMPARE(value, 4242);
    QCOMPARE(read(4, 2, 12, &value), 1);
    QCOMPARE(value, 4242);
}

void TestLinkKpvSim::lateReplyIsNotTakenForTheNext()
{
    QVERIFY(command(QStringLiteral("set 2 12 1111")));
    QVERIFY(command(QStringLiteral("late 2 300")));
    QCOMPARE(read(3, 2, 12), -1);
    // Let the late reply, carrying 1111, arrive and sit on the line.
    QTest::qWait(450);
    QVERIFY(command(QStringLiteral("set 2 12 2222")));
    QVERIFY(command(QStringLiteral("normal 2")));
    int value = 0;
    QCOMPARE(read(3, 2, 12, &value), 1);
    QCOMPARE(value, 2222);
}

void TestLinkKpvSim::busyOnlyDuringARequest()
{
    QCOMPARE(mbrtuComWork(port), 0);
    QCOMPARE(mbrtuComWork(41), 0);
    mbrtuSetDelay(400);
    QVERIFY(command(QStringLiteral("silent 17")));
    std::atomic<bool> done{false};
    int result = 0;
    std::thread reader([&] {
        result = read(3, 17, 11);
        done = true;
    });
    bool sawBusy = false;
    int concurrent = 0;
    while (!done) {
        if (mbrtuComWork(port) == 1 && !sawBusy) {
            sawBusy = true;
            // A second request while one is running is refused at once.
            concurrent = read(3, 1, 11);
        }
        QCOMPARE(mbrtuComWork(41), 0);
    }
    reader.join();
    QVERIFY(sawBusy);
    QCOMPARE(concurrent, -1);
    QCOMPARE(result, -1);
    QCOMPARE(mbrtuComWork(port), 0);
    mbrtuSetDelay(delay);
    QCOMPARE(read(3, 1, 11), 1);
}

void TestLinkKpvSim::reopenAndClose()
{
    const int descriptors = LinkTestTools::openDescriptorCount();
    for (int i = 0; i < 5; ++i)
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    QCOMPARE(LinkTestTools::openDescriptorCount(), descriptors);
    QCOMPARE(read(3, 1, 11), 1);
    mbrtuComClose(port);
    QCOMPARE(LinkTestTools::openDescriptorCount(), descriptors - 1);
    QCOMPARE(read(3, 1, 11), -1);
    QCOMPARE(mbrtuComWork(port), 0);
    mbrtuComClose(port);
    mbrtuComClose(77); // never opened
    QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
    QCOMPARE(read(3, 1, 11), 1);
}

void TestLinkKpvSim::vanishingPortRecoversByItself()
{
    QVERIFY(command(QStringLiteral("set 247 11 555")));
    QCOMPARE(read(3, 247, 11), 1);
    const int descriptors = LinkTestTools::openDescriptorCount();

    m_sim.reset(); // ended: the pty, its device file and the link disappear
    const double bound = LinkTestTools::silentBoundMs(9600, 8, 'n', 1, delay);
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer one;
        one.start();
        QCOMPARE(read(3, 247, 11), -1);
        QVERIFY(one.elapsed() <= bound + 400);
    }

    // Point the port at a file that is not a terminal and count how often the
    // library tries to open it while reads keep failing. Close events are
    // watched too: inotify merges repeated identical events.
    const QString decoy = m_portDir.filePath(QStringLiteral("not-a-tty"));
    const QString link = m_portDir.filePath(QStringLiteral("com%1").arg(port));
    QFile decoyFile(decoy);
    QVERIFY(decoyFile.open(QIODevice::WriteOnly));
    decoyFile.close();
    QVERIFY(QFile::link(decoy, link));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(decoy).constData(), IN_OPEN | IN_CLOSE) >= 0);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2500)
        QCOMPARE(read(3, 247, 11), -1);
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
        for (char* at = events; at < events + got;
             at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
            opens += (reinterpret_cast<inotify_event*>(at)->mask & IN_OPEN) ? 1 : 0;
    }
    ::close(watch);
    QVERIFY(QFile::remove(link));
    QVERIFY2(opens >= 2 && opens <= 3, qPrintable(QStringLiteral("%1 open attempts in 2.5 s").arg(opens)));

    m_sim = std::make_unique<KpvSim>();
    QVERIFY(m_sim->start(port, {1, 2, 17, 247}));
    QVERIFY(command(QStringLiteral("set 247 11 556")));
    // No new mbrtuComOpen: the library reopens within about a second.
    int value = 0;
    QTRY_COMPARE_WITH_TIMEOUT(read(3, 247, 11, &value), 1, 5000);
    QCOMPARE(value, 556);
    QCOMPARE(LinkTestTools::openDescriptorCount(), descriptors);
}

QTEST_GUILESS_MAIN(TestLinkKpvSim)
#include "tst_link_kpvsim.moc"
