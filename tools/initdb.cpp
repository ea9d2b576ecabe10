// Creates a new station database file (the tables, one settings row and one
// administrator account); --demo adds a few KPV devices with their standard
// nodes so the program can be tried on the bus simulator.
#include "device/StandardNodes.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/StationFile.h"
#include "store/Text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

namespace {

struct DemoDevice
{
    int address;
    const char* name;
    int ageDays;
};

const DemoDevice kDemoDevices[] = {
    {1, "KPV1", 30},
    {2, "KPV2", 400},
    {3, "KPV3", 900},
    {5, "配电室", 1500},
};

int usage()
{
    std::fprintf(stderr, "usage: spdmon-initdb FILE --admin NAME --password PASSWORD [--demo] [--com N]\n");
    return 64;
}

void insertDemoDevices(Connection& connection)
{
    Query query(connection);
    const QDateTime today(Clock::now().date(), QTime(0, 0));
    for (const DemoDevice& device : kDemoDevices)
        StandardNodes::insertKpv(query, device.address, QString::fromUtf8(device.name),
                                 today.addDays(-device.ageDays));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString file;
    QString admin;
    QString password;
    bool demo = false;
    int comNum = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--admin") && i + 1 < args.size())
            admin = args.at(++i);
        else if (arg == QLatin1String("--password") && i + 1 < args.size())
            password = args.at(++i);
        else if (arg == QLatin1String("--com") && i + 1 < args.size()) {
            // Port N is COMN: only a positive decimal number names one.
            bool number = false;
            comNum = args.at(++i).toInt(&number);
            if (!number || comNum < 1 || !args.at(i).front().isDigit())
                return usage();
        } else if (arg == QLatin1String("--demo"))
            demo = true;
        else if (!arg.startsWith(QLatin1String("--")) && file.isEmpty())
            file = arg;
        else
            return usage();
    }
    if (file.isEmpty() || Text::trimmed(admin).isEmpty() || Text::trimmed(password).isEmpty())
        return usage();

    try {
        Connection connection(QStringLiteral("initdb"));
        StationFile::create(connection, file, admin, password, comNum);
        if (demo)
            insertDemoDevices(connection);
    } catch (const AppError& e) {
        std::fprintf(stderr, "spdmon-initdb: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    std::printf("created %s\n", file.toLocal8Bit().constData());
    return 0;
}
