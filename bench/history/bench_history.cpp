// Time to open the surge history's chart on ten years of events: 200,000
// events on 247 devices, all devices over the ten years in months, one
// device, and this month in days; then the chart's sums without the indexes,
// to show what they are for. Prints the median of several runs.

#include "history/HistoryWindow.h"
#include "history/SurgeHistory.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/SurgeLogTable.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {
constexpr int kDevices = 247;
constexpr int kEvents = 200000;
constexpr int kRuns = 7;

void fill(Connection& connection, const QDate& today)
{
    Query nodes(connection);
    nodes.setSql("INSERT INTO node_record (device_id, device_name, node_name, install_date) VALUES "
                 "(:device_id, :device_name, :node_name, :install_date)");
    Query events(connection);
    SurgeLogTable table(events);
    QRandomGenerator random(20);
    connection.beginTransaction();
    for (int id = 1; id <= kDevices; ++id) {
        for (const char* node : {"设备状态", "浪涌保护器", "浪涌次数"}) {
            nodes.setInt("device_id", id);
            nodes.setText("device_name", QString("KPV%1").arg(id));
            nodes.setText("node_name", QString::fromUtf8(node));
            nodes.setDateTime("install_date", QDateTime(today.addYears(-3), QTime(8, 0)));
            nodes.execSql();
        }
    }
    const QDateTime start(today.addYears(-10), QTime(0, 0));
    const qint64 span = start.secsTo(QDateTime(today, QTime(0, 0)));
    std::vector<int> counts(kDevices + 1, 0);
    for (int i = 0; i < kEvents; ++i) {
        SurgeEvent event;
        event.deviceId = 1 + int(random.bounded(kDevices));
        event.deviceName = QString("KPV%1").arg(event.deviceId);
        event.time = start.addSecs(qint64(random.bounded(double(span))));
        event.surges = 1 + int(random.bounded(4));
        event.countBefore = counts[event.deviceId];
        event.countAfter = counts[event.deviceId] += event.surges;
        table.add(event);
    }
    connection.commit();
}

// Wall time, and the process's processor time, which a machine shared with
// other work changes less.
struct Figure
{
    double wallMs;
    double cpuMs;
};

Figure median(const std::function<void()>& work, int runs = kRuns)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        const std::clock_t cpu = std::clock();
        timer.start();
        work();
        walls.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpus.push_back(double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

void print(const char* what, const Figure& figure)
{
    std::printf("%-44s %8.1f ms wall %8.1f ms cpu\n", what, figure.wallMs, figure.cpuMs);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Connection connection;
    connection.create(dir.filePath("table.db"));
    const QDate today = QDate::currentDate();
    fill(connection, today);

    HistoryWindow window(connection);
    window.show();
    window.firstDayEdit->setDate(today.addYears(-10));
    window.lastDayEdit->setDate(today);
    window.spanCombo->setCurrentIndex(int(SurgeHistory::Span::Custom));
    std::printf("%d events on %d devices over ten years\n", kEvents, kDevices);
    print("window, all devices, ten years in months", median([&] { window.reload(); }));
    window.deviceCombo->setCurrentIndex(100);
    print("window, one device, ten years in months", median([&] { window.showPeriod(); }));
    window.deviceCombo->setCurrentIndex(0);
    window.spanCombo->setCurrentIndex(int(SurgeHistory::Span::Month));
    print("window, all devices, this month in days", median([&] { window.showPeriod(); }));

    Query query(connection);
    const SurgeHistory::Period tenYears =
        SurgeHistory::period(SurgeHistory::Span::Custom, today, today.addYears(-10), today);
    const auto sums = [&] { SurgeHistory::bars(query, tenYears, 0); };
    print("bars alone, all devices, ten years", median(sums));
    for (const char* index : {"surge_event_time", "surge_event_device"})
        QSqlQuery(connection.database()).exec(QString("DROP INDEX ") + index);
    print("bars alone without the indexes (one run)", median(sums, 1));
    return 0;
}
