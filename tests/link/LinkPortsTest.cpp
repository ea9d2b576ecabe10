#include "link/PortDirectory.h"
#include "link/PortsConfig.h"
#include "link/SerialPortList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Port numbers to device files, and the port list of the serial dialog.
class TestLinkPorts final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // "@" in a name or target stands for the port directory.
    QString at(QString text) const { return text.replace('@', m_dir->path()); }
    void makeLink(const QString& name, const QString& target)
    {
        QVERIFY2(QFile::link(at(target), m_dir->path() + '/' + name), qPrintable(name));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void devicePath_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("link"); // target of a link comN; empty: none
        QTest::addColumn<QString>("device");
        const QString none, null = "/dev/null";
        for (const auto& [port, device] :
             std::initializer_list<std::pair<int, const char*>>{{1, "/dev/ttyS0"},
                                                                {32, "/dev/ttyS31"},
                                                                {33, "/dev/ttyUSB0"},
                                                                {64, "/dev/ttyUSB31"},
                                                                {65, "/dev/ttyACM0"},
                                                                {96, "/dev/ttyACM31"},
                                                                {97, ""},
                                                                {0, ""}})
            QTest::addRow("COM%d", port) << port << none << QString(device);
        QTest::newRow("link takes precedence") << 33 << null << "@/com33";
        QTest::newRow("link past the default ranges") << 200 << null << "@/com200";
        // An unplugged adapter's link must not silently open some other device.
        QTest::newRow("dangling link") << 5 << QString("@/gone") << "@/com5";
    }

    void devicePath()
    {
        QFETCH(int, port);
        QFETCH(QString, link);
        QFETCH(QString, device);
        if (link.isEmpty()) {
            makeLink(QString("com%1").arg(port + 1), "/dev/null"); // another port's link changes nothing
            QCOMPARE(QString::fromStdString(PortDirectory::defaultDevicePath(port)), device);
            if (!device.isEmpty())
                QCOMPARE(PortDirectory::defaultPortNumber(device.toStdString()), port);
        } else {
            makeLink(QString("com%1").arg(port), link);
        }
        QCOMPARE(QString::fromStdString(PortDirectory(m_dir->path().toStdString()).devicePath(port)),
                 at(device));
    }

    void portList_data()
    {
        // Links are "comN=target"; "!" marks a link whose target is missing.
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("portsConf");
        QTest::newRow("system ports by default number, in text order")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM1"} << QStringList()
            << QStringList{"ttyACM1 = COM66", "ttyS10 = COM11", "ttyS2 = COM3", "ttyUSB0 = COM33"} << QString();
        QTest::newRow("ports without a default number left out")
            << QStringList{"/dev/ttyS32",   "/dev/ttyACM32", "/dev/ttyUSB", "/dev/ttyS01",
                           "/dev/ttyUSB0x", "/dev/pts/3",    "ttyS0",       "/dev/ttyS3"}
            << QStringList() << QStringList{"ttyS3 = COM4"} << QString();
        QTest::newRow("comN links, case ignored in order")
            << QStringList() << QStringList{"com40=@/beta", "com41=@/Gamma", "com42=@/Alpha", "com07=@/a",
                                            "comX=@/b",     "COM6=@/c",      "com5.bak=@/d"}
            << QStringList{"@/Alpha = COM42", "@/beta = COM40", "@/Gamma = COM41"} << QString();
        QTest::newRow("a link takes the default number, dangling links left out")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"}
            << QStringList{"com33=@/adapter", "com40=!@/stopped"}
            << QStringList{"@/adapter = COM33", "ttyUSB1 = COM34"} << QString();
        QTest::newRow("a gateway takes the number from a link and a system port")
            << QStringList{"/dev/ttyS4", "/dev/ttyS5"} << QStringList{"com5=@/adapter", "com7=@/other"}
            << QStringList{"@/other = COM7", "10.0.0.9:502 (Modbus TCP) = COM6", "[fd00::5]:502 (Modbus TCP) = COM8",
                           "gw:4001 (RTU over TCP) = COM5"}
            << "COM5 = rtu-over-tcp gw:4001\nCOM6 = modbus-tcp 10.0.0.9:502\nCOM8 = modbus-tcp [fd00::5]:502";
    }

    void portList()
    {
        QFETCH(QStringList, system);
        QFETCH(QStringList, links);
        QFETCH(QStringList, expected);
        QFETCH(QString, portsConf);
        for (const QString& link : links) {
            const QString target = link.section('=', 1);
            QVERIFY(target.startsWith('!') || QFile(at(target)).open(QIODevice::WriteOnly));
            makeLink(link.section('=', 0, 0), target.mid(target.startsWith('!') ? 1 : 0));
        }
        QCOMPARE(serialPortNames(system, PortDirectory(m_dir->path().toStdString()),
                                 PortsConfig::parse(portsConf.toStdString(), "ports.conf")),
                 expected.replaceInStrings("@", m_dir->path()));
    }

    // Each refused line says file, line and reason; the lines around it count.
    void portsConf_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("problem"); // empty: the line is taken as COM9's gateway
        QTest::newRow("modbus-tcp, any case of COM") << "com9 = modbus-tcp plc.local:502" << "";
        QTest::newRow("rtu-over-tcp, blanks") << "  COM9=rtu-over-tcp   10.1.1.1:65535  " << "";
        QTest::newRow("unknown kind") << "COM9 = rtu-tcp 10.1.1.1:4001"
                                      << "unknown kind 'rtu-tcp' (rtu-over-tcp or modbus-tcp)";
        QTest::newRow("no port") << "COM9 = modbus-tcp 10.1.1.1" << "no port after the host (host:port)";
        QTest::newRow("empty port") << "COM9 = modbus-tcp 10.1.1.1:" << "no port after the host (host:port)";
        QTest::newRow("port 0") << "COM9 = modbus-tcp 10.1.1.1:0" << "port outside 1-65535";
        QTest::newRow("port 65536") << "COM9 = modbus-tcp 10.1.1.1:65536" << "port outside 1-65535";
        QTest::newRow("port not a number") << "COM9 = modbus-tcp 10.1.1.1:-5" << "port outside 1-65535";
        QTest::newRow("no host") << "COM9 = modbus-tcp :502" << "no host before the port";
        QTest::newRow("no port name") << "PORT9 = modbus-tcp 10.1.1.1:502" << "no port name COM<number> before '='";
        QTest::newRow("no '='") << "COM9 modbus-tcp 10.1.1.1:502" << "no port name COM<number> before '='";
        QTest::newRow("words after the address") << "COM9 = modbus-tcp 10.1.1.1:502 x"
                                                 << "more than kind and host:port";
        QTest::newRow("number given twice") << "COM5 = modbus-tcp 10.1.1.1:502" << "COM5 given again";
    }

    void portsConf()
    {
        QFETCH(QString, line);
        QFETCH(QString, problem);
        const std::string text = "# gateways\nCOM5 = rtu-over-tcp gw:4001\n" + line.toStdString() +
                                 "\n\nCOM6 = modbus-tcp 10.0.0.9:502\n";
        const PortsConfig config = PortsConfig::parse(text, "/etc/ports.conf");
        QStringList gateways, problems;
        for (const PortsConfig::Gateway& gateway : config.gateways())
            gateways << QString("COM%1 %2").arg(gateway.port).arg(PortsConfig::describe(gateway).c_str());
        for (const PortsConfig::Problem& refused : config.problems())
            problems << QString::fromStdString(refused.text);
        QStringList expected{"COM5 gw:4001 (RTU over TCP)", "COM6 10.0.0.9:502 (Modbus TCP)"};
        if (problem.isEmpty()) {
            const PortsConfig::Gateway* gateway = config.gateway(9);
            QVERIFY(gateway);
            expected.insert(1, QString("COM9 %1").arg(PortsConfig::describe(*gateway).c_str()));
            QCOMPARE(problems, QStringList());
        } else {
            QCOMPARE(problems, QStringList{"/etc/ports.conf line 3: " + problem});
        }
        QCOMPARE(gateways, expected);
    }

    // Last, as it leaves the environment changed.
    void userDirectoryChoice()
    {
        QStringList chosen;
        for (const char* environment :
             {"/srv/ports|/cfg|/home/op", "|/cfg|/home/op", "|cfg|/home/op", "||/home/op"}) {
            const QStringList values = QString(environment).split('|');
            const char* const names[] = {"SPDMON_PORT_DIR", "XDG_CONFIG_HOME", "HOME"};
            for (int i = 0; i < 3; ++i)
                values[i].isEmpty() ? qunsetenv(names[i]) : qputenv(names[i], values[i].toLocal8Bit());
            chosen << QString::fromStdString(PortDirectory::userDirectory());
        }
        // The override wins; a relative XDG_CONFIG_HOME is ignored.
        QCOMPARE(chosen,
                 (QStringList{"/srv/ports", "/cfg/spdmon/dosdevices", "/home/op/.config/spdmon/dosdevices",
                              "/home/op/.config/spdmon/dosdevices"}));
    }
};

QTEST_GUILESS_MAIN(TestLinkPorts)
#include "LinkPortsTest.moc"
