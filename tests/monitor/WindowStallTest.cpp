// The window's thread never waits for the bus or the file: its 5 ms heartbeat
// stays on time while a device is silent, a 741-node bus is polled and the file
// is locked. Nor does polling wait for the window's thread.
#include "KpvSim.h"
#include "MainWindowFixture.h"

#include "display/DataPanel.h"
#include "link/FieldBus.h"
#include "monitor/PollPacer.h"
#include "store/FixedTexts.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {
// Well above the scheduling jitter of a loaded machine, well below one read timeout.
constexpr qint64 kStallBoundMs = 150;

// The longest the window's thread was late for its heartbeat over a while.
qint64 worstStall(int whileMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&]() {
        worst = std::max(worst, clock.elapsed() - last - 5);
        last = clock.elapsed();
    });
    beat.start(5);
    QTest::qWait(whileMs);
    return worst;
}
} // namespace

class WindowStallTest final : public QObject
{
    Q_OBJECT
private slots:
    void windowKeepsAnswering_data();
    void windowKeepsAnswering();
    void readingsGoOnWhileWindowBlocked();
};

void WindowStallTest::windowKeepsAnswering_data()
{
    QTest::addColumn<bool>("lineMode");
    QTest::newRow("node by node") << false;
    QTest::newRow("line mode") << true;
}

void WindowStallTest::windowKeepsAnswering()
{
    QFETCH(bool, lineMode);
    QSettings(PollPacer::settingsPath(), QSettings::IniFormat)
        .setValue(u"poll/pace"_s, lineMode ? u"line"_s : u""_s);
    constexpr int kPort = 203;
    QTemporaryDir portDir;
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    MainWindowFixture f;
    f.db.exec(u"WITH RECURSIVE d(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM d WHERE id < 247), "
              "n(name, reg, type) AS (VALUES ('设备状态', 11, '开关量'), ('浪涌保护器', 9, '开关量'), "
              "('浪涌次数', 5, '模拟量')) INSERT INTO node_record (device_id, device_name, node_code, "
              "node_alarm_type, node_name, node_reg_add, con_data_type, node_data_lower, node_data_upper) "
              "SELECT id, 'KPV' || id, 3, '0000(正常)/FFFF(异常)', name, reg, type, 0, 65535 FROM d, n "
              "ORDER BY id"_s);
    QList<int> addresses(247);
    std::iota(addresses.begin(), addresses.end(), 1);
    KpvSim sim;
    QVERIFY2(sim.start(kPort, addresses), "kpv-sim did not start");
    QVERIFY(!lineMode || sim.command(u"late all 25"_s)); // replies at about a 9600-baud line's pace
    QVERIFY(sim.command(u"silent 1"_s));
    f.showLoggedIn();
    QCOMPARE(f.station.bus()->comOpen(kPort, 9600, 8, "n", 1), 1);
    f.station.bus()->setDelay(300); // a silent device keeps each read waiting 300 ms
    f.station.line.ComNum = kPort;
    f.station.line.PortState = PortState::kOpen;
    f.form->periodEdit->setText(u"0"_s);
    f.form->readPeriodEdit->setText(u"100"_s);
    int steps = 0;
    QObject::connect(&f.station, &Station::stepsDone,
                     [&steps](const PollSteps& done) { steps += done.taken; });

    // The pass starts on device 1: three reads of each of its nodes time out.
    // The first answer brings the overview's full refresh; the silence follows.
    f.form->toggleMonitoring();
    QTRY_VERIFY(lineMode ? steps >= 1 : steps == 1);
    const qint64 silent = worstStall(1800);
    QVERIFY(steps >= 4);
    QVERIFY(sim.command(u"normal 1"_s));
    QTRY_VERIFY_WITH_TIMEOUT(f.form->panel().CardCount == 247 && steps > 12, 5000);
    steps = 0;
    const qint64 wholeBus = worstStall(3000);
    QVERIFY(steps >= 10);

    Connection other(u"other"_s);
    other.open(f.db.path());
    QSqlQuery hold(other.database());
    QVERIFY(hold.exec(u"BEGIN IMMEDIATE"_s));
    MessageBox::takeShown();
    const qint64 locked = worstStall(5000);
    QVERIFY(hold.exec(u"COMMIT"_s));
    QCOMPARE(MessageBox::takeShown(), QStringList{u"database is locked"_s});
    qInfo("worst window stall: silent device %lld ms, 741 nodes %lld ms, locked file %lld ms", silent,
          wholeBus, locked);
    QVERIFY(silent < kStallBoundMs && wholeBus < kStallBoundMs && locked < kStallBoundMs);
}

// A window busy for 3 s delays only itself: the station keeps reading at its
// pace, a pass of two nodes every node read period and then the 1 s pause,
// and on its return the window takes those steps at once.
void WindowStallTest::readingsGoOnWhileWindowBlocked()
{
    MainWindowFixture f;
    f.form->setBus(&f.bus);
    for (int device : {1, 2})
        f.db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                  "con_data_type, node_alarm_type) VALUES (%1, 'KPV%1', '设备状态', 3, 11, '开关量', "
                  "'0000(正常)/FFFF(异常)')"_s.arg(device));
    f.station.line.PortState = PortState::kOpen;
    f.form->periodEdit->setText(u"1"_s);
    f.form->readPeriodEdit->setText(u"100"_s);
    QVector<PollSteps> shown;
    QObject::connect(&f.station, &Station::stepsDone, [&shown](const PollSteps& steps) { shown << steps; });
    const auto lastRead = [&f]() {
        QSqlQuery q(u"SELECT MAX(read_time) FROM node_record"_s, f.db.connection().database());
        return q.next() ? q.value(0).toDateTime() : QDateTime();
    };
    f.form->toggleMonitoring();
    QTRY_VERIFY(!shown.isEmpty());
    shown.clear();
    const QDateTime before = lastRead();
    QThread::sleep(3);
    const QDateTime after = lastRead();
    QTRY_VERIFY(!shown.isEmpty());
    qInfo("blocked 3 s: %d steps, last read %lld ms later", shown.first().taken, before.msecsTo(after));
    // A pass of two steps, then the 1 s pause: about five; without the pause thirty.
    QVERIFY(shown.first().taken >= 3 && shown.first().taken <= 12);
    QVERIFY(before.msecsTo(after) >= 1000);
    f.form->toggleMonitoring();
}

QTEST_MAIN(WindowStallTest)
#include "WindowStallTest.moc"
