// Time of one rebuild of the device dialog's tree (after every add, save and
// delete, and at each opening) on a full bus of 247 KPV devices (741 node
// rows) and on smaller ones, with the dialog on screen.

#include "device/DeviceDialog.h"
#include "device/StandardNodes.h"
#include "kit/MessageBox.h"
#include "store/Connection.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/StationState.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

// One database and dialog per bus size, made outside the timed code.
struct Bus
{
    explicit Bus(int devices)
    {
        connection = std::make_unique<Connection>(QStringLiteral("bench%1").arg(devices));
        connection->create(dir.filePath(QStringLiteral("table.db")));
        Query insert(*connection);
        const QDateTime installed = QDateTime::currentDateTime();
        for (int id = 1; id <= devices; ++id)
            StandardNodes::insertKpv(insert, id, QStringLiteral("KPV%1").arg(id), installed.addDays(-id));
        treeQuery = std::make_unique<Query>(*connection);
        images = drawTreeImages();
        log = std::make_unique<OperationLog>(*connection, session);
        dialog = std::make_unique<DeviceDialog>(*connection, *treeQuery, images, *log);
        dialog->DialogKind = QStringLiteral("监控系统");
        dialog->show();
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Query> treeQuery;
    TreeImageList images;
    Session session;
    std::unique_ptr<OperationLog> log;
    std::unique_ptr<DeviceDialog> dialog;
};

std::map<int, std::unique_ptr<Bus>>& buses()
{
    static std::map<int, std::unique_ptr<Bus>> value;
    return value;
}

std::map<int, std::vector<double>>& samples()
{
    static std::map<int, std::vector<double>> value;
    return value;
}

void buildDialogTree(benchmark::State& state)
{
    const int devices = int(state.range(0));
    auto& slot = buses()[devices];
    if (!slot)
        slot = std::make_unique<Bus>(devices);
    auto& record = samples()[devices];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        slot->dialog->BuildDialogTree();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(ms / 1000);
        record.push_back(ms);
        // The tree lays its items out and frees the old ones outside the timed call.
        QApplication::processEvents();
    }
    state.counters["items"] = double(slot->dialog->deviceTree->topLevelItem(0)->childCount() * 4 + 1);
}

BENCHMARK(buildDialogTree)
    ->Arg(10)
    ->Arg(82)
    ->Arg(247)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

double median(std::vector<double> values)
{
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
    for (const auto& [devices, values] : samples())
        std::printf("BuildDialogTree, %d devices (%d rows): median %.3f ms over %zu calls\n", devices,
                    devices * 3, median(values), values.size());
    return 0;
}
