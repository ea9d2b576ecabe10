// Cost of one poll step against the size of the bus: 10, 82 and 247 devices
// with three nodes each, the system overview selected, so every step writes
// its row and refreshes the overview. The bus answers at once and the clock
// moves on a second per step, so every step writes a changed row and only the
// program's own work counts. Each size runs back to back and with a 100 ms
// pause before each step, as at the shortest node read period, when the file
// and the caches have gone cold. Prints median wall and CPU time per step and
// the ratio of the largest bus to the smallest. The step runs on the
// station's thread: wall time is from the window's request to its refresh,
// CPU time that of the whole process.
#include "InstantBus.h"
#include "app/MainWindow.h"
#include "app/Station.h"
#include "display/Cards.h"
#include "display/DeviceTree.h"
#include "display/SystemView.h"
#include "kit/MessageBox.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

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

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples.at(samples.size() / 2);
}

struct StepCost
{
    double wallMs = 0;
    double cpuMs = 0;
};

StepCost pollSteps(int devices, int steps, int pauseMs)
{
    QTemporaryDir dir;
    Connection connection;
    connection.create(dir.filePath(QStringLiteral("table.db")));
    fillBus(connection, devices);
    InstantBus bus;
    Station station(connection);
    MainWindow form(station, 1280);
    form.setBus(&bus);
    form.periodEdit->setText(QStringLiteral("0"));
    station.selection.SelectedKind = QStringLiteral("监控系统");
    FreeCards(form.panel());
    ShowSystemView(form.panel(), QStringLiteral("创建"));
    station.openPollScope();
    QDateTime now(QDate(2026, 1, 1), QTime(8, 0));
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < steps; ++i) {
        Clock::setFixed(now = now.addSecs(1));
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = processCpuMs();
        station.pollTick();
        while (station.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        cpu.push_back(processCpuMs() - cpuBefore);
        wall.push_back(timer.nsecsElapsed() / 1e6);
        // Between ticks the window's event loop runs; without it the events
        // the cards post pile up and every step would pay for the pile.
        QCoreApplication::processEvents();
    }
    Clock::setFixed(QDateTime());
    const QStringList errors = MessageBox::takeShown();
    if (!errors.isEmpty())
        std::printf("  error shown: %s\n", qPrintable(errors.first()));
    return {median(wall), median(cpu)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setRecording(true);
    const int sizes[] = {10, 82, 247};
    for (const int pauseMs : {0, 100}) {
        // Back to back a full pass of the largest bus; with the pause fewer steps keep the run short.
        const int steps = pauseMs > 0 ? 150 : 741;
        std::printf("%d steps, %d ms pause before each: median per step, wall (cpu) ms\n", steps, pauseMs);
        StepCost smallest;
        StepCost largest;
        for (const int devices : sizes) {
            const StepCost cost = pollSteps(devices, steps, pauseMs);
            std::printf("  %3d devices (%3d nodes): %.3f (%.3f)\n", devices, devices * 3, cost.wallMs,
                        cost.cpuMs);
            if (devices == sizes[0])
                smallest = cost;
            largest = cost;
        }
        std::printf("  ratio %d/%d devices: wall %.2f, cpu %.2f\n", sizes[2], sizes[0],
                    largest.wallMs / smallest.wallMs, largest.cpuMs / smallest.cpuMs);
    }
    return 0;
}
