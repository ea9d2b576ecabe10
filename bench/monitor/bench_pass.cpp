// A poll pass on a line as slow as a real one: kpv-sim --line-time answers N
// KPV devices (three nodes each) at the pace of the baud rate, and the whole
// program (main window, station, link library) polls it from a pty with a
// monitoring period of 0 and a node read period of 100 ms, in today's mode or
// in line mode ([poll] pace=line in a spdmon.conf of its own). kpv-sim's trace
// of the requests it receives tells the passes apart (the address falls where
// one begins) and when the station has left device A (the middle one) for the
// next. Prints per case the time of the second pass, its requests, and the
// time from "abnormal A", given right after A was read in that pass, to A's
// alarm line in alarm_record (told by the station once committed).
//
//   bench_pass                             247 devices at 9600: both modes, none or 20 silent
//   bench_pass --devices 10,50,247 --baud 9600,19200 --mode today --silent 0
#include "app/MainWindow.h"
#include "app/Station.h"
#include "kit/MessageBox.h"
#include "link/SerialDialog.h"
#include "store/Connection.h"
#include "store/FixedTexts.h"
#include "users/LoginDialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

constexpr int kPort = 7;

struct Case
{
    QString mode; // today or line
    int devices = 0;
    int baud = 0;
    int silent = 0;
};

struct Figures
{
    double passS = -1;
    int requests = -1;
    qint64 failed = -1; // reads of the pass without a good reply, by the bus counters
    int device = 0;     // made abnormal
    double alarmS = -1;
    QString error;
};

// kpv-sim with the line time and its trace of requests.
class TracedSim final
{
public:
    explicit TracedSim(const QElapsedTimer& clock) : m_clock(clock)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this]() { takeLines(); });
    }
    ~TracedSim()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    bool start(const Case& run, const QList<int>& silent)
    {
        QStringList arguments{"--com",   QString::number(kPort),    "--line-time",
                              "--baud",  QString::number(run.baud), "-c",
                              "trace on"};
        for (const int device : silent)
            arguments << "-c" << QString("silent %1").arg(device);
        for (int device = 1; device <= run.devices; ++device)
            arguments << QString::number(device);
        m_process.start(KPV_SIM_PATH, arguments);
        return m_process.waitForStarted(10000) && waitFor(QString("open COM%1").arg(kPort));
    }
    bool command(const QString& line)
    {
        m_process.write(line.toLocal8Bit() + '\n');
        return waitFor("ok");
    }

    // Of each pass begun, when its first request came (ms); of each one
    // ended, its requests.
    QVector<double> passStarts;
    QVector<int> passRequests;
    // Told the device whose requests have just given way to another's, and
    // each pass begun.
    std::function<void(int device)> deviceLeft;
    std::function<void()> passBegun;

private:
    bool waitFor(const QString& prefix)
    {
        m_reply.clear();
        QElapsedTimer waited;
        waited.start();
        while (!m_reply.startsWith(prefix) && !m_reply.startsWith("error:") && waited.elapsed() < 10000)
            m_process.waitForReadyRead(100);
        return m_reply.startsWith(prefix);
    }

    void takeLines()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (!line.startsWith("request ")) {
                m_reply = line;
                continue;
            }
            const double at = m_clock.nsecsElapsed() / 1e6;
            const int address = line.section(' ', 1, 1).toInt();
            if (address < m_lastAddress || m_lastAddress == 0) {
                if (!passStarts.isEmpty())
                    passRequests << m_requests;
                passStarts << at;
                m_requests = 0;
                if (passBegun)
                    passBegun();
            }
            if (address != m_lastAddress && m_lastAddress != 0 && deviceLeft)
                deviceLeft(m_lastAddress);
            ++m_requests;
            m_lastAddress = address;
        }
    }

    const QElapsedTimer& m_clock;
    QProcess m_process;
    QString m_reply;
    int m_lastAddress = 0;
    int m_requests = 0;
};

void fillDatabase(Connection& connection, const Case& run)
{
    QSqlQuery q(connection.database());
    q.exec("BEGIN");
    q.exec("INSERT INTO dd_user VALUES ('bench', 'bench', '管理员')");
    q.exec(QString("INSERT INTO soft_record VALUES ('bench', %1, %2, 8, 1, 'n', 0, 100)")
               .arg(kPort)
               .arg(run.baud));
    const char* const nodes[][4] = {{"设备状态", "11", "开关量", "0"},
                                    {"浪涌保护器", "9", "开关量", "0"},
                                    {"浪涌次数", "5", "模拟量", "0"}};
    for (int device = 1; device <= run.devices; ++device) {
        for (const auto& node : nodes) {
            q.exec(QString(
                       "INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                       "con_data_type, node_data_lower, node_data_upper, node_alarm_type, install_date) "
                       "VALUES (%1, 'KPV%1', '%2', 3, %3, '%4', %5, 65535, '0000(正常)/FFFF(异常)', "
                       "'2025-01-01 00:00:00')")
                       .arg(device)
                       .arg(node[0], node[1], node[2], node[3]));
        }
    }
    q.exec("COMMIT");
}

// Waits, running the window's events, until done() or the time is up.
// processEvents with a time limit never waits for events: it would spin a
// core the station and the simulator need. The timer wakes the wait instead.
bool waitUntil(const std::function<bool()>& done, const QElapsedTimer& clock, qint64 untilMs)
{
    QTimer wake;
    wake.start(50);
    while (!done()) {
        if (clock.elapsed() > untilMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

Figures measure(const Case& run)
{
    Figures figures;
    const auto fail = [&figures](const QString& error) {
        figures.error = error;
        return figures;
    };
    QTemporaryDir dir;
    // The program finds the port, spdmon.conf and nothing else of the user's here.
    qputenv("SPDMON_PORT_DIR", dir.filePath("ports").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    if (run.mode == "line") {
        QDir().mkpath(dir.filePath("config/spdmon"));
        QFile conf(dir.filePath("config/spdmon/spdmon.conf"));
        if (!conf.open(QIODevice::WriteOnly) || conf.write("[poll]\npace=line\n") < 0)
            return fail("cannot write spdmon.conf");
    }
    QList<int> silent;
    for (int i = 1; i <= run.silent; ++i)
        silent << i * run.devices / (run.silent + 1);
    figures.device = run.devices / 2 + 1;
    while (silent.contains(figures.device))
        ++figures.device;

    QElapsedTimer clock;
    clock.start();
    TracedSim sim(clock);
    if (!sim.start(run, silent))
        return fail("kpv-sim did not start");
    Connection connection;
    connection.create(dir.filePath("table.db"));
    fillDatabase(connection, run);
    const QString head = QString("KPV%1[%1]").arg(figures.device); // how its alarm lines begin

    Station station(connection);
    MainWindow form(station, 1280);
    form.loginDialog->userEdit->setText("bench");
    form.loginDialog->passwordEdit->setText("bench");
    form.loginDialog->logIn();
    delete form.loginDialog;
    form.loginDialog = nullptr;
    form.show();
    QCoreApplication::processEvents();
    form.serialDialog->FormShow();
    form.serialDialog->openPort();
    if (station.line.PortState != PortState::kOpen)
        return fail("port not open: " + MessageBox::takeShown().join("; "));

    double abnormalAt = -1;
    double alarmAt = -1;
    bool leftInPass2 = false;
    sim.deviceLeft = [&](int device) {
        leftInPass2 = leftInPass2 || (device == figures.device && sim.passStarts.size() == 2);
    };
    QHash<int, qint64> failedOf; // by device
    qint64 failures = 0;
    QVector<qint64> failuresAtPassStart;
    QObject::connect(&station, &Station::countersChanged, [&](const DeviceCounters& counters) {
        const qint64 now = counters.noReply + counters.badReply + counters.exceptionReply;
        failures += now - failedOf.value(counters.deviceId);
        failedOf[counters.deviceId] = now;
    });
    sim.passBegun = [&]() { failuresAtPassStart << failures; };
    QObject::connect(&station, &Station::stepsDone, [&](const PollSteps& steps) {
        for (const AlarmLine& line : steps.alarms) {
            if (abnormalAt >= 0 && alarmAt < 0 && line.text.startsWith(head))
                alarmAt = clock.nsecsElapsed() / 1e6;
        }
    });
    form.toggleMonitoring();
    // A pass takes 0.3 s a device at 100 ms a node: room for three of them and more.
    const qint64 deadline = 60000 + 1000 * run.devices;
    if (!waitUntil([&]() { return leftInPass2; }, clock, deadline))
        figures.error = "device not read in the second pass";
    else if (abnormalAt = clock.nsecsElapsed() / 1e6;
             !sim.command(QString("abnormal %1").arg(figures.device)))
        figures.error = "abnormal refused";
    else if (!waitUntil([&]() { return alarmAt >= 0 && sim.passStarts.size() >= 3; }, clock, deadline))
        figures.error = "no alarm line";
    if (sim.passStarts.size() >= 3) {
        figures.passS = (sim.passStarts[2] - sim.passStarts[1]) / 1000;
        figures.requests = sim.passRequests[1];
        figures.failed = failuresAtPassStart[2] - failuresAtPassStart[1];
    }
    if (alarmAt >= 0)
        figures.alarmS = (alarmAt - abnormalAt) / 1000;
    form.toggleMonitoring();
    waitUntil([&]() { return !station.busy(); }, clock, clock.elapsed() + 10000);
    const QStringList shown = MessageBox::takeShown();
    if (!shown.isEmpty() && figures.error.isEmpty())
        figures.error = "shown: " + shown.join("; ");
    return figures;
}

QList<int> numbers(const QString& list)
{
    QList<int> values;
    for (const QString& item : list.split(',', Qt::SkipEmptyParts))
        values << item.toInt();
    return values;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setRecording(true);
    QCommandLineParser parser;
    parser.setApplicationDescription("Time of a poll pass and of an alarm against kpv-sim --line-time.");
    parser.addHelpOption();
    const QCommandLineOption devicesOption("devices", "Bus sizes, comma-separated.", "list", "247");
    const QCommandLineOption baudOption("baud", "Baud rates, comma-separated.", "list", "9600");
    const QCommandLineOption modeOption("mode", "today, line or both, comma-separated.", "list",
                                        "today,line");
    const QCommandLineOption silentOption("silent", "Numbers of silent devices, comma-separated.", "list",
                                          "0,20");
    parser.addOptions({devicesOption, baudOption, modeOption, silentOption});
    parser.process(app);

    std::printf("mode   devices   baud  silent   pass s  requests  failed   alarm s (device)\n");
    std::fflush(stdout);
    int failed = 0;
    for (const QString& mode : parser.value(modeOption).split(',', Qt::SkipEmptyParts)) {
        for (const int silent : numbers(parser.value(silentOption))) {
            for (const int baud : numbers(parser.value(baudOption))) {
                for (const int devices : numbers(parser.value(devicesOption))) {
                    const Figures f = measure({mode, devices, baud, silent});
                    std::printf("%-5s  %7d  %5d  %6d  %7.2f  %8d  %6lld  %8.2f (%d)%s%s\n", qPrintable(mode),
                                devices, baud, silent, f.passS, f.requests, f.failed, f.alarmS, f.device,
                                f.error.isEmpty() ? "" : "  ", qPrintable(f.error));
                    std::fflush(stdout);
                    failed += f.error.isEmpty() ? 0 : 1;
                }
            }
        }
    }
    return failed == 0 ? 0 : 1;
}
