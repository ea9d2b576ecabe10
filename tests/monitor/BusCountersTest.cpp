// The poll step counts each device's reads as the real link library tells
// them apart, against kpv-sim on a pseudo-terminal.
#include "KpvSim.h"
#include "TestDatabase.h"

#include "link/ModbusRtuBus.h"
#include "monitor/BusCounters.h"
#include "monitor/PollCycle.h"
#include "store/StationState.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class BusCountersTest final : public QObject
{
    Q_OBJECT
private slots:
    void eachFailureCountedAsItsKind();
};

void BusCountersTest::eachFailureCountedAsItsKind()
{
    constexpr int kPort = 203;
    QTemporaryDir portDir;
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    TestDatabase db;
    // Device n behaves as faults[n-1]; the count that must take all its reads.
    const QStringList faults{u"normal 1"_s,        u"late 2 120"_s,         u"silent 3"_s,
                             u"garbage 4 crc"_s,   u"garbage 5 address"_s,  u"garbage 6 short"_s,
                             u"garbage 7 noise"_s, u"garbage 8 exception"_s};
    using Count = qint64 DeviceCounters::*;
    const QList<Count> kinds{&DeviceCounters::good,     &DeviceCounters::good,
                             &DeviceCounters::noReply,  &DeviceCounters::badReply,
                             &DeviceCounters::badReply, &DeviceCounters::badReply,
                             &DeviceCounters::badReply, &DeviceCounters::exceptionReply};
    KpvSim sim;
    QVERIFY(sim.start(kPort, {1, 2, 3, 4, 5, 6, 7, 8}));
    for (int device = 1; device <= faults.size(); ++device) {
        QVERIFY(sim.command(faults[device - 1]));
        db.exec(
            u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
            "node_reg_add, con_data_type, node_data_lower, node_data_upper) VALUES "
            "(%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '设备状态', 11, '开关量', 0, 65535)"_s.arg(device));
    }
    ModbusRtuBus bus;
    QCOMPARE(bus.comOpen(kPort, 9600, 8, "n", 1), 1);
    bus.setDelay(250);
    const LineSettings line{kPort, 9600, 8, 1, u"n"_s, u"打开"_s};
    PollState state;
    state.MonitorPeriod = 0;
    Query scope(db.connection());
    Query log(db.connection());
    scope.setSql(u"select * from node_record order by  device_id ASC, node_name ASC"_s);
    scope.open();
    PollCycle cycle(line, state, scope, log, &bus);
    BusCounters counters;
    cycle.setCounters(&counters);
    QHash<int, DeviceCounters> seen;
    connect(&counters, &BusCounters::deviceChanged, this,
            [&seen](const DeviceCounters& c) { seen[c.deviceId] = c; });

    // A pass with each failing device read three times, and one more.
    for (int tick = 0; tick < 30; ++tick)
        cycle.pollTick();
    for (int device = 1; device <= faults.size(); ++device) {
        const DeviceCounters c = seen.value(device);
        const bool good = kinds[device - 1] == &DeviceCounters::good;
        QVERIFY2(c.requests >= 3 && c.*kinds[device - 1] == c.requests,
                 qPrintable(faults[device - 1] + u"\n"_s + c.summary()));
        QCOMPARE(c.consecutiveFailures, good ? 0 : c.requests);
        QCOMPARE(c.lastGood.isValid(), good);
    }
    // The slow device's replies took the simulator's delay, and less than the allowance.
    const DeviceCounters late = seen.value(2);
    QVERIFY2(late.minMs >= 120 && late.meanMs() >= late.minMs && late.maxMs < 250 &&
                 late.meanMs() <= late.maxMs,
             qPrintable(u"%1 %2 %3"_s.arg(late.minMs).arg(late.meanMs()).arg(late.maxMs)));

    QCOMPARE(seen.size(), 8);
    seen.clear();
    counters.reset();
    cycle.pollTick();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.begin()->requests, 1);
    bus.comClose(kPort);
}

QTEST_GUILESS_MAIN(BusCountersTest)
#include "BusCountersTest.moc"
