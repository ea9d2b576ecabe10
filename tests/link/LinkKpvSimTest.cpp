#include "KpvSim.h"
#include "link/modbus_rtu.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <future>
#include <memory>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
constexpr int port = 40;

int read(int function, int slave, int reg, int* value = nullptr)
{
    std::array<int, 40> buffer{};
    const int result = (function == 3 ? mbrtufcn03 : mbrtufcn04)(port, slave, reg, 1, buffer.data());
    if (value)
        *value = buffer[0];
    return result;
}

// Opens with line settings "baud,dataBits,parity,stopBits"; parity "null" is a null pointer.
int openLine(int portNumber, const QString& line)
{
    const QStringList f = line.split(',');
    const QByteArray parity = f[2].toLatin1();
    return mbrtuComOpen(portNumber, f[0].toInt(), f[1].toInt(), f[2] == "null" ? nullptr : parity.constData(),
                        f[3].toInt());
}

// Another process on the port: prints whether it got flock(LOCK_EX) ("free",
// kept until its input closes) or not ("taken"), and the tty's exclusive-open
// flag. Kept out by that flag (no CAP_SYS_ADMIN), it prints "taken 1" as well.
const char* const peerScript = R"(
import errno, fcntl, os, struct, sys
try:
    fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
except OSError as e:
    sys.exit(print("taken 1") if e.errno == errno.EBUSY else str(e))
try:
    fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    state = "free"
except BlockingIOError:
    state = "taken"
print(state, struct.unpack("i", fcntl.ioctl(fd, 0x80045440, bytes(4)))[0], flush=True)  # TIOCGEXCL
sys.stdin.read()
)";

int openDescriptors()
{
    return int(QDir("/proc/self/fd", {}, QDir::NoSort, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .count());
}
} // namespace

// The link library against the bus simulator on a pseudo-terminal.
class TestLinkKpvSim final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_portDir;
    std::unique_ptr<KpvSim> m_sim;

    bool command(const QString& line) { return m_sim->command(line); }
    bool startSim()
    {
        m_sim = std::make_unique<KpvSim>();
        return m_sim->start(port, {1, 2, 17, 247}, m_portDir.filePath("table.db"));
    }
    // Runs SQL on the simulator's database from another process, as the program does.
    bool sql(const QString& script)
    {
        return QProcess::execute(
                   "/usr/bin/python3",
                   {"-c", "import sqlite3, sys; sqlite3.connect(sys.argv[1]).executescript(sys.argv[2])",
                    m_portDir.filePath("table.db"), script}) == 0;
    }
    // Starts a peer (see peerScript) on the port and returns its verdict.
    QString startPeer(QProcess& peer)
    {
        peer.start("/usr/bin/python3", {"-c", peerScript, m_portDir.filePath(QString("com%1").arg(port))});
        while (!peer.canReadLine() && peer.waitForReadyRead(10000)) {
        }
        return QString::fromLatin1(peer.canReadLine() ? peer.readLine() : peer.readAllStandardError())
            .trimmed();
    }
    static void endPeer(QProcess& peer)
    {
        peer.closeWriteChannel();
        QVERIFY(peer.waitForFinished(10000) && peer.exitCode() == 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_portDir.isValid());
        qputenv("SPDMON_PORT_DIR", m_portDir.path().toLocal8Bit());
        QVERIFY(sql("pragma journal_mode=wal; create table node_record (device_id integer)"));
        QVERIFY(startSim());
    }

    void init()
    {
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
        mbrtuSetDelay(64);
    }

    void cleanup()
    {
        mbrtuComClose(port);
        if (m_sim)
            QVERIFY(command("normal all"));
    }

    // Up to the last register; only the elements read are written.
    void readLastRegisters()
    {
        std::array<int, 40> buffer;
        buffer.fill(-5);
        std::array<int, 40> expected = buffer;
        for (int i = 0; i < 3; ++i) {
            expected[i] = i * 65535 / 2;
            QVERIFY(command(QString("set 247 %1 %2").arg(65533 + i).arg(expected[i])));
        }
        QCOMPARE(mbrtufcn04(port, 247, 65533, 3, buffer.data()), 3);
        QCOMPARE(buffer, expected);
        QCOMPARE(mbrtufcn03(port, 247, 65533, 3, nullptr), -1);
    }

    void refusedCalls_data()
    {
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<QString>("line");         // of a refused reopen first; empty: none
        QTest::addColumn<QVector<int>>("request"); // slave, register, count
        using R = QVector<int>;
        const QString none;
        for (const char* line : {"9600,8,x,1", "9600,8,N,1", "9600,8,none,1", "9600,8,,1", "9600,8,null,1",
                                 "12345,8,n,1", "9600,8,n,3"})
            QTest::addRow("open %s", line) << port << QString(line) << R{1, 11, 1};
        QTest::newRow("no device for the number") << 500 << QString("9600,8,n,1") << R{1, 11, 1};
        QTest::newRow("port not open") << 41 << none << R{1, 11, 1};
        QTest::newRow("broadcast address") << port << none << R{0, 11, 1};
        QTest::newRow("address 248") << port << none << R{248, 11, 1};
        QTest::newRow("count past the buffer") << port << none << R{1, 11, 41};
        QTest::newRow("negative register") << port << none << R{1, -1, 1};
        QTest::newRow("past the last register") << port << none << R{1, 65535, 2};
    }

    void refusedCalls()
    {
        QFETCH(int, portNumber);
        QFETCH(QString, line);
        QFETCH(QVector<int>, request);
        if (!line.isEmpty())
            QCOMPARE(openLine(portNumber, line), -1);
        // A request sent regardless would wait for this silence.
        mbrtuSetDelay(1000);
        QVERIFY(command("silent all"));
        QElapsedTimer timer;
        timer.start();
        std::array<int, 41> buffer{};
        for (const auto fcn : {mbrtufcn03, mbrtufcn04})
            QCOMPARE(fcn(portNumber, request[0], request[1], request[2], buffer.data()), -1);
        QVERIFY2(timer.elapsed() < 500, "refused only after a time-out");
        QCOMPARE(buffer, (std::array<int, 41>{}));
        QVERIFY(command("normal all"));
        // A refused reopen leaves the port closed, not open with the old
        // settings; a refused request leaves it usable.
        QCOMPARE(read(3, 1, 11), line.isEmpty() || portNumber != port ? 1 : -1);
    }

    void failedReadWithinTheBound_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent, 2400 8e1") << QString("2400,8,e,1") << 64 << "silent 2";
        QTest::newRow("silent, 38400 7o2") << QString("38400,7,o,2") << 250 << "silent 2";
        QTest::newRow("silent, 19200 8n2, no delay") << QString("19200,8,n,2") << 0 << "silent 2";
        for (const char* fault : {"garbage 2 crc", "garbage 2 address", "garbage 2 short",
                                  "garbage 2 exception", "garbage 2 noise", "late 2 1000"})
            QTest::addRow("%s", fault) << QString("9600,8,n,1") << 64 << QString(fault);
    }

    void failedReadWithinTheBound()
    {
        QFETCH(QString, line);
        QFETCH(int, delay);
        QFETCH(QString, fault);
        QCOMPARE(openLine(port, line), 1);
        mbrtuSetDelay(delay);
        QVERIFY(command("set 2 12 1111") && command(fault));
        // Request (8 bytes) and reply (7 bytes) at the line's rate, plus the delay.
        const QStringList f = line.split(',');
        const double bound =
            15 * (1 + f[1].toInt() + (f[2] == "n" ? 0 : 1) + f[3].toInt()) * 1000.0 / f[0].toInt() + delay;
        // A silent slave is given the whole time: the delay is its allowance.
        const double least = fault.startsWith("silent") ? 0.9 * bound : 0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(read(3, 2, 12), -1);
            const double ms = timer.nsecsElapsed() / 1e6;
            QVERIFY2(ms >= least && ms <= bound + 400, // slack for a loaded machine
                     qPrintable(QString("%1 ms, bound %2 ms").arg(ms).arg(bound)));
        }
        // The next good request succeeds, and is not answered by late replies
        // (carrying 1111) that arrived meanwhile.
        QTest::qWait(fault.startsWith("late") ? 1300 : 0);
        QVERIFY(command("set 2 12 2222") && command("normal 2"));
        std::array<int, 2> values{};
        QCOMPARE(read(3, 2, 12, &values[0]) + read(4, 2, 12, &values[1]), 2);
        QCOMPARE(values, (std::array<int, 2>{2222, 2222}));
    }

    // Silence, garbled replies and exception replies are told apart; a slow
    // reply within the allowance is a good one, and a good read ends a failure.
    void failureKinds_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("kind");
        QTest::newRow("silent") << "silent 2" << 11 << int(MBRTU_NO_REPLY);
        QTest::newRow("answer") << "normal 2" << 11 << int(MBRTU_GOOD);
        QTest::newRow("late past the allowance") << "late 2 1000" << 11 << int(MBRTU_NO_REPLY);
        QTest::newRow("late within it") << "late 2 100" << 11 << int(MBRTU_GOOD);
        for (const char* kind : {"crc", "address", "zero", "short", "noise"})
            QTest::addRow("garbage %s", kind) << QString("garbage 2 ") + kind << 11 << int(MBRTU_BAD_REPLY);
        QTest::newRow("garbage exception") << "garbage 2 exception" << 11 << int(MBRTU_EXCEPTION_REPLY);
        QTest::newRow("register not there") << "normal 2" << 13 << int(MBRTU_EXCEPTION_REPLY);
    }

    void failureKinds()
    {
        QFETCH(QString, fault);
        QFETCH(int, reg);
        QFETCH(int, kind);
        mbrtuSetDelay(250);
        QVERIFY(command(fault));
        for (int attempt = 0; attempt < 3; ++attempt) { // noise differs each time
            errno = EIO; // as an earlier call may leave it: no sign of a port gone
            QCOMPARE(read(3, 2, reg) == 1, kind == MBRTU_GOOD);
            QCOMPARE(mbrtuLastFailure(port), kind);
        }
        QCOMPARE(mbrtuLastFailure(41), int(MBRTU_NO_REPLY)); // never opened
        QCOMPARE(read(3, 1, 11), 1);                         // the port stays usable
        QTest::qWait(fault == "late 2 1000" ? 1000 : 0);     // its replies must not reach the next row
    }

    void portTakenByAnotherProcess()
    {
        // Open here: another process can neither lock the port nor, unless
        // privileged, open it at all.
        QProcess peer;
        QCOMPARE(startPeer(peer), "taken 1");
        endPeer(peer);
        mbrtuComClose(port);
        QCOMPARE(startPeer(peer), "free 0"); // closing released both
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), -1);
        QCOMPARE(read(3, 1, 11), -1);
        endPeer(peer);
        QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
        QCOMPARE(read(3, 1, 11), 1);
    }

    // With --line-time a reply comes no sooner than the exchange takes on the
    // line: 22 characters of 12 bits at 4800 8E2 (55 ms) and the turnaround.
    void repliesAtTheLinePace()
    {
        KpvSim timed;
        QVERIFY(timed.start(port + 1, {1, 2}, {},
                            {"--line-time", "--baud", "4800", "--parity", "even", "--stop-bits", "2"}));
        QCOMPARE(openLine(port + 1, "4800,8,e,2"), 1);
        mbrtuSetDelay(3000);
        QVERIFY(timed.command("turnaround 2 300"));
        std::array<double, 2> ms{};
        for (const int slave : {1, 2}) {
            QElapsedTimer timer;
            timer.start();
            std::array<int, 40> buffer{};
            QCOMPARE(mbrtufcn03(port + 1, slave, 11, 1, buffer.data()), 1);
            ms[slave - 1] = timer.nsecsElapsed() / 1e6;
        }
        mbrtuComClose(port + 1);
        QVERIFY2(ms[0] >= 60 && ms[0] < 1500 && ms[1] >= 355 && ms[1] < 2000,
                 qPrintable(QString("%1 ms, then %2 ms").arg(ms[0]).arg(ms[1])));
    }

    void devicesAddedToTheDatabaseAreServed()
    {
        // Found when a request names the device, or a command does.
        QCOMPARE(read(3, 9, 11), -1);
        std::array<int, 2> values{-1, -1};
        QVERIFY(sql("insert into node_record values (9)"));
        QCOMPARE(read(3, 9, 11, &values[0]), 1);
        QVERIFY(sql("insert into node_record values (11)") && command("abnormal 11"));
        QCOMPARE(read(4, 11, 9, &values[1]), 1);
        QCOMPARE(values, (std::array<int, 2>{0, 65535}));
    }

    void busyOnlyDuringARequest()
    {
        QCOMPARE(mbrtuComWork(port), 0);
        mbrtuSetDelay(400);
        QVERIFY(command("silent 17"));
        auto reader = std::async(std::launch::async, [] { return read(3, 17, 11); });
        QTRY_COMPARE_WITH_TIMEOUT(mbrtuComWork(port), 1, 400);
        QCOMPARE(mbrtuComWork(41), 0); // a port never opened
        QCOMPARE(read(3, 1, 11), -1);  // a second request meanwhile is refused, not queued
        QCOMPARE(reader.get(), -1);
        QCOMPARE(mbrtuComWork(port), 0);
    }

    void reopenCloseAndVanishingPort()
    {
        mbrtuComClose(port);
        mbrtuComClose(port);
        mbrtuComClose(77); // never opened
        QCOMPARE(read(3, 247, 11), -1);
        const int descriptors = openDescriptors();
        for (int i = 0; i < 3; ++i) // the old descriptor is closed first
            QCOMPARE(mbrtuComOpen(port, 9600, 8, "n", 1), 1);
        QCOMPARE(openDescriptors(), descriptors + 1);
        QCOMPARE(read(3, 247, 11), 1);

        // Gone: reads fail at once, without a crash, until the port is back;
        // the library then reopens it by itself, without a new mbrtuComOpen.
        m_sim.reset(); // the pty, its device file and the link disappear
        // Meanwhile the port names a file that is no terminal: each reopen
        // attempt opens it, which inotify counts (close events are watched
        // too, since inotify merges repeated identical events).
        const QString decoy = m_portDir.filePath("not-a-tty");
        const QString link = m_portDir.filePath(QString("com%1").arg(port));
        QVERIFY(QFile(decoy).open(QIODevice::WriteOnly) && QFile::link(decoy, link));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(decoy).constData(), IN_OPEN | IN_CLOSE) >= 0);
        QElapsedTimer timer;
        timer.start();
        int reads = 0;
        for (; timer.elapsed() < 2500; ++reads)
            QCOMPARE(read(3, 247, 11), -1);
        QVERIFY2(reads > 100, qPrintable(QString("%1 reads in 2.5 s").arg(reads)));
        int opens = 0;
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
            for (char* at = events; at < events + got;
                 at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
                opens += (reinterpret_cast<inotify_event*>(at)->mask & IN_OPEN) ? 1 : 0;
        }
        ::close(watch);
        QVERIFY(QFile::remove(link));
        QVERIFY2(opens >= 2 && opens <= 3, qPrintable(QString("%1 reopen attempts in 2.5 s").arg(opens)));
        QVERIFY(startSim() && command("set 247 11 556"));
        int value = 0;
        QTRY_COMPARE_WITH_TIMEOUT(read(3, 247, 11, &value), 1, 5000);
        QCOMPARE(value, 556);
        QCOMPARE(openDescriptors(), descriptors + 1);
    }
};

QTEST_GUILESS_MAIN(TestLinkKpvSim)
#include "LinkKpvSimTest.moc"
