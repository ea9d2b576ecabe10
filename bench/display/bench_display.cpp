// Time of one system overview refresh ("更新", as after every poll step) and
// of one create ("创建"), on a full bus of 247 KPV devices (741 node rows) and
// on smaller ones, so that the growth with the number of nodes shows.

#include "app/MainWindow.h"
#include "app/Station.h"
#include "display/Cards.h"
#include "display/SystemView.h"
#include "kit/MessageBox.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

namespace {

const char* const kNodes[] = {"设备状态", "浪涌保护器", "浪涌次数"};

// One database and main window per bus size, made outside the timed code.
struct Bus
{
    explicit Bus(int devices)
    {
        connection = std::make_unique<Connection>(QStringLiteral("bench%1").arg(devices));
        connection->create(dir.filePath(QStringLiteral("table.db")));
        Query q(*connection);
        q.setSql(QStringLiteral(
            "Insert into node_record "
            "([device_id],[device_name],[node_name],[con_data_type],[node_alarm_type],"
            "[install_date],[con_data],[read_time],[communication_status],[alarm_status]) values(:device_id,"
            ":device_name,:node_name,:con_data_type,:node_alarm_type,:install_date,:con_data,:read_time,"
            ":communication_status,:alarm_status)"));
        const QDateTime now = QDateTime::currentDateTime();
        for (int id = 1; id <= devices; ++id) {
            for (const char* node : kNodes) {
                q.setInt(QStringLiteral("device_id"), id);
                q.setText(QStringLiteral("device_name"), QStringLiteral("KPV%1").arg(id));
                q.setText(QStringLiteral("node_name"), QString::fromUtf8(node));
                q.setText(QStringLiteral("con_data_type"), QStringLiteral("开关量"));
                q.setText(QStringLiteral("node_alarm_type"), QStringLiteral("0000(正常)/FFFF(异常)"));
                q.setDateTime(QStringLiteral("install_date"), now.addDays(-id * 7));
                q.setText(QStringLiteral("con_data"), QStringLiteral("正常"));
                q.setDateTime(QStringLiteral("read_time"), now);
                // Some devices lost and some in alarm, so every colour is drawn.
                q.setText(QStringLiteral("communication_status"),
                          id % 11 == 0 ? QStringLiteral("通信异常") : QStringLiteral("通信正常"));
                q.setText(QStringLiteral("alarm_status"),
                          id % 7 == 0 ? QStringLiteral("告警") : QStringLiteral("正常"));
                q.execSql();
            }
        }
        station = std::make_unique<Station>(*connection);
        form = std::make_unique<MainWindow>(*station, 1280);
        form->station.selection.SelectedKind = QStringLiteral("监控系统");
        ShowSystemView(form->panel(), QStringLiteral("创建"));
    }

    // What a poll step does between two refreshes: one node's reading changes.
    void pollStep(int step)
    {
        Query q(*connection);
        q.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
        q.open();
        q.setRecNo(step % q.recordCount());
        q.edit();
        q.setField(QStringLiteral("read_time"), QDateTime::currentDateTime().addSecs(step));
        q.setField(QStringLiteral("con_data"), step % 2 ? QStringLiteral("异常") : QStringLiteral("正常"));
        q.setField(QStringLiteral("alarm_status"),
                   step % 2 ? QStringLiteral("告警") : QStringLiteral("正常"));
        q.post();
    }

    QTemporaryDir dir;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Station> station;
    std::unique_ptr<MainWindow> form;
};

std::map<int, std::unique_ptr<Bus>>& buses()
{
    static std::map<int, std::unique_ptr<Bus>> value;
    return value;
}

Bus& bus(int devices)
{
    auto& slot = buses()[devices];
    if (!slot)
        slot = std::make_unique<Bus>(devices);
    return *slot;
}

// One call's wall-clock and processor time in milliseconds. The processor
// time tells what the call itself costs when other work shares the machine.
struct Sample
{
    double wall;
    double cpu;
};

std::map<std::pair<char, int>, std::vector<Sample>>& samples()
{
    static std::map<std::pair<char, int>, std::vector<Sample>> value;
    return value;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

template <typename Call> Sample timed(Call call)
{
    const double cpuStart = threadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    call();
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return {wall, threadCpuMs() - cpuStart};
}

void refresh(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Bus& b = bus(devices);
    auto& record = samples()[{'u', devices}];
    int step = 0;
    for (auto _ : state) {
        b.pollStep(step++);
        const Sample sample = timed([&b]() { ShowSystemView(b.form->panel(), QStringLiteral("更新")); });
        state.SetIterationTime(sample.wall / 1000);
        record.push_back(sample);
    }
    state.counters["rows"] = devices * 3;
}

// The same refresh when nothing changed since the last one.
void refreshUnchanged(benchmark::State& state)
{
    Bus& b = bus(int(state.range(0)));
    for (auto _ : state) {
        state.SetIterationTime(
            timed([&b]() { ShowSystemView(b.form->panel(), QStringLiteral("更新")); }).wall / 1000);
    }
    state.counters["rows"] = double(state.range(0) * 3);
}

void create(benchmark::State& state)
{
    const int devices = int(state.range(0));
    Bus& b = bus(devices);
    auto& record = samples()[{'c', devices}];
    for (auto _ : state) {
        FreeCards(b.form->panel());
        const Sample sample = timed([&b]() { ShowSystemView(b.form->panel(), QStringLiteral("创建")); });
        state.SetIterationTime(sample.wall / 1000);
        record.push_back(sample);
        // Let the freed cards' deferred clean-up run outside the timed call.
        QApplication::processEvents();
    }
    state.counters["rows"] = devices * 3;
}

BENCHMARK(refresh)->Arg(10)->Arg(82)->Arg(247)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(refreshUnchanged)->Arg(247)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(create)->Arg(10)->Arg(82)->Arg(247)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

double median(const std::vector<Sample>& samples, double Sample::*part)
{
    std::vector<double> values;
    for (const Sample& s : samples)
        values.push_back(s.*part);
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setRecording(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    buses().clear();

    std::printf("median ShowSystemView per call, update/create, wall (cpu) ms:");
    for (int devices : {10, 82, 247}) {
        const auto u = samples().find({'u', devices});
        const auto c = samples().find({'c', devices});
        if (u == samples().end() || c == samples().end())
            continue;
        std::printf("  %d rows %.2f (%.2f) / %.2f (%.2f)", devices * 3, median(u->second, &Sample::wall),
                    median(u->second, &Sample::cpu), median(c->second, &Sample::wall),
                    median(c->second, &Sample::cpu));
    }
    std::printf("\n");
    return 0;
}
