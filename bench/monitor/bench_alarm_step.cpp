// Cost of a poll step that changes an alarm state against one that does not,
// through the main window with the system overview of 20 devices shown.
// Devices 1-10 cycle through three abnormal readings (two held, the third
// raising the alarm with its log line) and a normal one (the alarm returns);
// devices 11-20 always read normal. Each step is classed by what it wrote:
// its row only, its row and a state change, or its row, a log line and a
// state change. The step runs on the station's thread: wall time is from the
// window's request to its answer, CPU time that of the whole process. Prints
// their medians per class, and the CPU time of the window's work that follows
// (the active alarm list read again, the cards marked), back to back and with
// a 100 ms pause before each step.
#include "app/MainWindow.h"
#include "app/Station.h"
#include "display/Cards.h"
#include "display/SystemView.h"
#include "kit/MessageBox.h"
#include "link/FieldBus.h"
#include "store/Clock.h"
#include "store/Connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

namespace {

class CyclingBus final : public FieldBus
{
public:
    int comOpen(int, int, int, const QByteArray&, int) override { return 1; }
    void setDelay(int) override {}
    int comWork(int) override { return 0; }
    int fcn03(int, int slave, int, int, int* buffer) override
    {
        const int read = m_reads[slave]++;
        buffer[0] = slave <= 10 && read % 4 < 3 ? 0xFFFF : 0;
        return 1;
    }
    int fcn04(int port, int slave, int reg, int count, int* buffer) override
    {
        return fcn03(port, slave, reg, count, buffer);
    }
    void comClose(int) override {}
    ReadFailure lastFailure(int) override { return ReadFailure::None; }

private:
    QHash<int, int> m_reads;
};

double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Samples
{
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> windowCpu;
};

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples.at(samples.size() / 2);
}

// Steps classed by what they wrote: "row", "row+state", "row+log+state", "row+log".
std::map<std::string, Samples> pollSteps(int steps, int pauseMs)
{
    QTemporaryDir dir;
    Connection connection;
    connection.create(dir.filePath(QStringLiteral("table.db")));
    QSqlQuery q(connection.database());
    for (int device = 1; device <= 20; ++device) {
        q.exec(
            QStringLiteral("INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                           "node_reg_add, con_data_type, node_data_lower, node_data_upper, node_alarm_type, "
                           "install_date) VALUES (%1, 'KPV%1', '设备状态', 3, 11, '开关量', 0, 65535, "
                           "'0000(正常)/FFFF(异常)', '2025-01-01 00:00:00')")
                .arg(device));
    }
    CyclingBus bus;
    Station station(connection);
    MainWindow form(station, 1280);
    form.setBus(&bus);
    station.selection.SelectedKind = QStringLiteral("监控系统");
    FreeCards(form.panel());
    ShowSystemView(form.panel(), QStringLiteral("创建"));
    station.openPollScope();
    while (station.busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    int changes = 0;
    QObject::connect(&station, &Station::alarmStatesChanged, [&changes]() { ++changes; });
    bool logged = false;
    QObject::connect(&station, &Station::stepsDone,
                     [&logged](const PollSteps& done) { logged = !done.alarms.isEmpty(); });
    std::map<std::string, Samples> classes;
    QDateTime now(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < steps; ++i) {
        Clock::setFixed(now = now.addSecs(1));
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
        const int changesBefore = changes;
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        station.pollTick();
        while (station.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double cpu = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
        const double wall = timer.nsecsElapsed() / 1e6;
        std::string kind = "row";
        if (logged)
            kind += "+log";
        if (changes != changesBefore)
            kind += "+state";
        const double windowBefore = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        QCoreApplication::processEvents();
        classes[kind].windowCpu.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - windowBefore);
        classes[kind].wall.push_back(wall);
        classes[kind].cpu.push_back(cpu);
    }
    Clock::setFixed(QDateTime());
    const QStringList errors = MessageBox::takeShown();
    if (!errors.isEmpty())
        std::printf("  error shown: %s\n", qPrintable(errors.first()));
    return classes;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setRecording(true);
    for (const int pauseMs : {0, 100}) {
        const int steps = pauseMs > 0 ? 200 : 2000;
        std::printf("%d steps, %d ms pause before each: median per step, wall (cpu) ms, then window cpu ms "
                    "[steps]\n",
                    steps, pauseMs);
        for (const auto& [kind, samples] : pollSteps(steps, pauseMs)) {
            std::printf("  %-13s %.3f (%.3f)  %.3f [%zu]\n", kind.c_str(), median(samples.wall),
                        median(samples.cpu), median(samples.windowCpu), samples.wall.size());
        }
    }
    return 0;
}
