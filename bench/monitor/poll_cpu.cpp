// CPU per poll step of the main window against a real line: opens the port
// given on the command line (kpv-sim answering), starts monitoring with the
// system overview shown and a node read period in milliseconds, and after the
// given seconds prints the process's CPU time per step from /proc/self/stat.
//   poll_cpu DATABASE PORT PERIOD_MS SECONDS
#include "app/MainWindow.h"
#include "app/Station.h"
#include "kit/MessageBox.h"
#include "link/ModbusRtuBus.h"
#include "store/Connection.h"
#include "store/FixedTexts.h"
#include "users/LoginDialog.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <unistd.h>

namespace {
// utime + stime of this process, in seconds.
double cpuSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which ends with the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: poll_cpu DATABASE PORT PERIOD_MS SECONDS\n");
        return 2;
    }
    MessageBox::setRecording(true);
    Connection connection;
    connection.open(args.at(1));
    ModbusRtuBus bus;
    Station station(connection);
    MainWindow form(station, 1280);
    form.setBus(&bus);
    delete form.loginDialog; // logged in already
    form.loginDialog = nullptr;
    form.show();
    station.line.ComNum = args.at(2).toInt();
    if (bus.comOpen(station.line.ComNum, 9600, 8, "n", 1) != 1) {
        std::fprintf(stderr, "cannot open COM%d\n", station.line.ComNum);
        return 1;
    }
    bus.setDelay(64);
    station.line.PortState = PortState::kOpen;
    form.periodEdit->setText(QStringLiteral("0"));
    form.readPeriodEdit->setText(args.at(3));
    form.monitorButton->click();

    int ticks = 0;
    QObject::connect(&station, &Station::stepsDone,
                     [&ticks](const PollSteps& steps) { ticks += steps.taken; });
    // The first pass settles the overview; counting starts after 5 s.
    double cpuAtStart = 0;
    QTimer::singleShot(5000, [&]() {
        ticks = 0;
        cpuAtStart = cpuSeconds();
        QTimer::singleShot(args.at(4).toInt() * 1000, [&]() {
            const double cpu = cpuSeconds() - cpuAtStart;
            std::printf("steps %d cpu %.3f s  cpu per step %.3f ms  errors %lld\n", ticks, cpu,
                        ticks ? 1000 * cpu / ticks : 0.0, qlonglong(MessageBox::takeShown().size()));
            app.quit();
        });
    });
    return app.exec();
}
