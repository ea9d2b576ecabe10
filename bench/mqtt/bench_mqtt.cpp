// What MQTT publishing adds to a poll step, and how many messages a station
// gets acknowledged per second by a local broker. The step runs on a full bus
// (247 devices, three nodes each) that answers at once, with the database in
// memory, so that the program's own work is timed and not the disk's syncs.
#include "InstantBus.h"
#include "MqttBroker.h"

#include "monitor/PollCycle.h"
#include "mqtt/MqttPublisher.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/StationState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void fillBus(Connection& connection, int devices)
{
    QSqlQuery q(connection.database());
    q.exec(QStringLiteral("BEGIN"));
    for (int device = 1; device <= devices; ++device) {
        q.exec(QStringLiteral(
                   "INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                   "node_reg_add, con_data_type, node_data_lower, node_data_upper, node_alarm_type) "
                   "VALUES (%1, 'KPV%1', '设备状态', 3, 11, '开关量', 0, 65535, '0000(正常)/FFFF(异常)'), "
                   "(%1, 'KPV%1', '浪涌保护器', 3, 9, '开关量', 0, 65535, '0000(正常)/FFFF(异常)'), "
                   "(%1, 'KPV%1', '浪涌次数', 3, 5, '模拟量', 0, 65535, '')")
                   .arg(device));
    }
    q.exec(QStringLiteral("COMMIT"));
}

MqttBroker* broker = nullptr;

MqttConfig config(bool brokerUp)
{
    MqttConfig config;
    config.host = QStringLiteral("127.0.0.1");
    config.port = brokerUp ? broker->port() : MqttBroker::freePort();
    config.station = QStringLiteral("bench");
    return config;
}

// Waits for the connection (or its failure) to settle.
std::unique_ptr<MqttPublisher> publisher(bool brokerUp)
{
    auto result = std::make_unique<MqttPublisher>(config(brokerUp));
    // With the broker down the wait only gives the first attempt its time.
    const bool connected = QTest::qWaitFor(
        [&result]() { return result->hint() == QStringLiteral("MQTT: 已连接"); }, brokerUp ? 5000 : 500);
    if (brokerUp && !connected)
        std::fprintf(stderr, "broker did not accept the connection: %s\n", qPrintable(result->hint()));
    return result;
}

// Arg 0: no listener; 1: publishing to the broker; 2: broker down, messages queued.
void pollStep(benchmark::State& state)
{
    const int mode = int(state.range(0));
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                          ? QStringLiteral("/dev/shm/spdmon-bench-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/spdmon-bench-XXXXXX"));
    Connection connection;
    connection.create(dir.filePath(QStringLiteral("table.db")));
    fillBus(connection, 247);
    LineSettings line;
    PollState poll;
    Query scope(connection);
    InstantBus bus;
    PollCycle cycle(line, poll, scope, &bus);
    poll.MonitorPeriod = 0;
    scope.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
    scope.open();
    std::unique_ptr<MqttPublisher> events;
    if (mode > 0) {
        events = publisher(mode == 1);
        if (mode == 1 && events->hint() != QStringLiteral("MQTT: 已连接"))
            state.SkipWithError(qPrintable(events->hint()));
        cycle.setEvents(events.get());
    }
    for (auto _ : state)
        cycle.pollTick();
    if (events)
        state.counters["queued"] = events->queued();
}

QVariantMap nodeRow(int i)
{
    return {{QStringLiteral("device_id"), 1 + i % 247},
            {QStringLiteral("device_name"), QStringLiteral("KPV%1").arg(1 + i % 247)},
            {QStringLiteral("node_name"), QString::number(i % 3)},
            {QStringLiteral("node_data"), i},
            {QStringLiteral("con_data"), QStringLiteral("正常")},
            {QStringLiteral("communication_status"), QStringLiteral("通信正常")},
            {QStringLiteral("alarm_status"), QStringLiteral("正常")},
            {QStringLiteral("read_time"), QStringLiteral("2025-06-01 10:00:00")}};
}

// The listener call alone, as the poll step makes it.
void publishReading(benchmark::State& state)
{
    const std::unique_ptr<MqttPublisher> events = publisher(true);
    const QVariantMap row = nodeRow(1);
    for (auto _ : state)
        events->nodeWritten(row);
    if (!QTest::qWaitFor([&]() { return events->acknowledged() >= quint64(state.iterations()); }, 30000))
        state.SkipWithError("the broker did not acknowledge every reading");
}

// Readings of 741 nodes, over and over, until the broker has acknowledged them all.
void messageRate(benchmark::State& state)
{
    constexpr int kMessages = 20000;
    const std::unique_ptr<MqttPublisher> events = publisher(true);
    QVariantMap row = nodeRow(0);
    for (auto _ : state) {
        const quint64 start = events->acknowledged();
        for (int i = 0; i < kMessages; ++i) {
            row[QStringLiteral("device_id")] = 1 + i % 247;
            row[QStringLiteral("node_name")] = QString::number(i % 3);
            row[QStringLiteral("node_data")] = i;
            events->nodeWritten(row);
        }
        if (!QTest::qWaitFor([&]() { return events->acknowledged() - start >= kMessages; }, 60000))
            state.SkipWithError("the broker did not acknowledge every message");
    }
    state.counters["messages"] =
        benchmark::Counter(double(kMessages), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(pollStep)
    ->ArgName("mqtt")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(publishReading)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(messageRate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    MqttBroker localBroker;
    if (!localBroker.start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    broker = &localBroker;
    // The modes take turns at random, so that the drift of a shared machine
    // falls on all of them alike.
    std::vector<char*> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
