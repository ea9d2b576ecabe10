// Cost of one poll step on a full bus: 247 devices with three nodes each, the
// system overview selected, so every step writes its row and refreshes the
// overview. The bus answers at once, so only the program's own work counts.
#include "InstantBus.h"
#include "app/MainWindow.h"
#include "display/Cards.h"
#include "display/DeviceTree.h"
#include "display/SystemView.h"
#include "kit/MessageBox.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fillBus(Connection& connection, int devices)
{
    QSqlQuery q(connection.database());
    q.exec(QStringLiteral("BEGIN"));
    const char* const nodes[][4] = {{"设备状态", "11", "开关量", "0"},
                                    {"浪涌保护器", "9", "开关量", "65535"},
                                    {"浪涌次数", "5", "模拟量", "0"}};
    for (int device = 1; device <= devices; ++device) {
        for (const auto& node : nodes) {
            q.exec(QStringLiteral(
                       "INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                       "node_reg_add, con_data_type, node_data_lower, node_data_upper, node_alarm_type, "
                       "install_date) VALUES (%1, 'KPV%1', '%2', 3, %3, '%4', %5, 65535, "
                       "'0000(正常)/FFFF(异常)', '2025-01-01 00:00:00')")
                       .arg(device)
                       .arg(QString::fromUtf8(node[0]), QString::fromUtf8(node[1]),
                            QString::fromUtf8(node[2]), QString::fromUtf8(node[3])));
        }
    }
    q.exec(QStringLiteral("COMMIT"));
}

void pollStep(benchmark::State& state)
{
    const int devices = int(state.range(0));
    QTemporaryDir dir;
    Connection connection;
    connection.create(dir.filePath(QStringLiteral("table.db")));
    fillBus(connection, devices);
    InstantBus bus;
    MainWindow form(connection, 1280);
    form.setBus(&bus);
    form.periodEdit->setText(QStringLiteral("0"));
    form.state.SelectedKind = QStringLiteral("监控系统");
    FreeCards(form.panel());
    ShowSystemView(form.panel(), QStringLiteral("创建"));
    OpenScopeQuery(*form.scopeQuery, form.state, QStringLiteral("系统"));
    for (auto _ : state)
        form.pollTick();
    const QStringList errors = MessageBox::takeShown();
    if (!errors.isEmpty())
        state.SkipWithError(qPrintable(errors.first()));
    state.counters["nodes"] = devices * 3;
}

BENCHMARK(pollStep)
    ->Arg(247)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(741)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setRecording(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
