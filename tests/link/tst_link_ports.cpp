#include "link/PortDirectory.h"
#include "link/SerialPortList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Port numbers to device files, and the port list of the serial dialog.
class TestLinkPorts final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultMapping_data();
    void defaultMapping();
    void defaultNumberRoundTrip();
    void pathsWithoutDefaultNumber_data();
    void pathsWithoutDefaultNumber();

    void linkTakesPrecedence();
    void danglingLinkStillNamesThePort();
    void onlyComLinksAreListed();
    void userDirectoryChoice_data();
    void userDirectoryChoice();

    void portList_data();
    void portList();
    void portListFromTheMachine();
    void portNumberText_data();
    void portNumberText();

private:
    void makeLink(const QString& name, const QString& target);
    QString dir() const { return m_dir->path(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedEnv[3];
};

namespace {
const char* const environmentNames[] = {"SPDMON_PORT_DIR", "XDG_CONFIG_HOME", "HOME"};
} // namespace

void TestLinkPorts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    for (int i = 0; i < 3; ++i)
        m_savedEnv[i] = qgetenv(environmentNames[i]);
}

void TestLinkPorts::cleanup()
{
    for (int i = 0; i < 3; ++i) {
        if (m_savedEnv[i].isNull())
            qunsetenv(environmentNames[i]);
        else
            qputenv(environmentNames[i], m_savedEnv[i]);
    }
    m_dir.reset();
}

void TestLinkPorts::makeLink(const QString& name, const QString& target)
{
    QVERIFY2(QFile::link(target, dir() + QLatin1Char('/') + name), qPrintable(name));
}

void TestLinkPorts::defaultMapping_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM3") << 3 << "/dev/ttyS2";
    QTest::newRow("COM32") << 32 << "/dev/ttyS31";
    QTest::newRow("COM33") << 33 << "/dev/ttyUSB0";
    QTest::newRow("COM64") << 64 << "/dev/ttyUSB31";
    QTest::newRow("COM65") << 65 << "/dev/ttyACM0";
    QTest::newRow("COM96") << 96 << "/dev/ttyACM31";
    QTest::newRow("COM97 has none") << 97 << "";
    QTest::newRow("COM0 has none") << 0 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestLinkPorts::defaultMapping()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QCOMPARE(QString::fromStdString(PortDirectory::defaultDevicePath(port)), device);
    // Without a link, the default is what gets opened.
    QCOMPARE(QString::fromStdString(PortDirectory(dir().toStdString()).devicePath(port)), device);
}

void TestLinkPorts::defaultNumberRoundTrip()
{
    // Every number maps to its own device and back: no two share one.
    for (int port = 1; port <= 96; ++port)
        QCOMPARE(PortDirectory::defaultPortNumber(PortDirectory::defaultDevicePath(port)), port);
}

void TestLinkPorts::pathsWithoutDefaultNumber_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("past ttyS31") << "/dev/ttyS32";
    QTest::newRow("past ttyACM31") << "/dev/ttyACM32";
    QTest::newRow("no index") << "/dev/ttyUSB";
    QTest::newRow("leading zero") << "/dev/ttyS01";
    QTest::newRow("trailing text") << "/dev/ttyUSB0x";
    QTest::newRow("pty") << "/dev/pts/3";
    QTest::newRow("by-id") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("no /dev") << "ttyS0";
    QTest::newRow("empty") << "";
}

void TestLinkPorts::pathsWithoutDefaultNumber()
{
    QFETCH(QString, path);
    QCOMPARE(PortDirectory::defaultPortNumber(path.toStdString()), 0);
}

void TestLinkPorts::linkTakesPrecedence()
{
    makeLink(QStringLiteral("com33"), QStringLiteral("/dev/null"));
    const PortDirectory ports(dir().toStdString());
    QCOMPARE(QString::fromStdString(ports.devicePath(33)), dir() + QStringLiteral("/com33"));
    QCOMPARE(QString::fromStdString(ports.devicePath(34)), QStringLiteral("/dev/ttyUSB1"));
    // Numbers past the default ranges exist only through links.
    makeLink(QStringLiteral("com200"), QStringLiteral("/dev/null"));
    QCOMPARE(QString::fromStdString(ports.devicePath(200)), dir() + QStringLiteral("/com200"));
}

void TestLinkPorts::danglingLinkStillNamesThePort()
{
    // An unplugged adapter's link must not silently open some other device.
    makeLink(QStringLiteral("com5"), dir() + QStringLiteral("/gone"));
    QCOMPARE(QString::fromStdString(PortDirectory(dir().toStdString()).devicePath(5)),
             dir() + QStringLiteral("/com5"));
}

void TestLinkPorts::onlyComLinksAreListed()
{
    makeLink(QStringLiteral("com12"), QStringLiteral("/dev/ttyUSB3"));
    makeLink(QStringLiteral("com2"), QStringLiteral("../relative"));
    for (const char* name : {"com", "com0", "com07", "comX", "com5.bak", "COM6", "aux1"})
        makeLink(QString::fromLatin1(name), QStringLiteral("/dev/null"));
    QFile plain(dir() + QStringLiteral("/com9"));
    QVERIFY(plain.open(QIODevice::WriteOnly));

    const std::vector<PortDirectory::Link> links = PortDirectory(dir().toStdString()).links();
    QCOMPARE(links.size(), size_t(2));
    QCOMPARE(links[0].port, 2);
    QCOMPARE(QString::fromStdString(links[0].target), QStringLiteral("../relative"));
    QCOMPARE(links[1].port, 12);
    QCOMPARE(QString::fromStdString(links[1].target), QStringLiteral("/dev/ttyUSB3"));
    QVERIFY(PortDirectory(dir().toStdString() + "/missing").links().empty());
}

void TestLinkPorts::userDirectoryChoice_data()
{
    QTest::addColumn<QString>("override");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("override wins") << "/srv/ports"
                                   << "/cfg"
                                   << "/home/op"
                                   << "/srv/ports";
    QTest::newRow("XDG config") << ""
                                << "/cfg"
                                << "/home/op"
                                << "/cfg/spdmon/dosdevices";
    QTest::newRow("relative XDG ignored") << ""
                                          << "cfg"
                                          << "/home/op"
                                          << "/home/op/.config/spdmon/dosdevices";
    QTest::newRow("home") << ""
                          << ""
                          << "/home/op"
                          << "/home/op/.config/spdmon/dosdevices";
}

void TestLinkPorts::userDirectoryChoice()
{
    QFETCH(QString, override);
    QFETCH(QString, xdg);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    const QString values[] = {override, xdg, home};
    for (int i = 0; i < 3; ++i) {
        if (values[i].isEmpty())
            qunsetenv(environmentNames[i]);
        else
            qputenv(environmentNames[i], values[i].toLocal8Bit());
    }
    QCOMPARE(QString::fromStdString(PortDirectory::userDirectory()), expected);
}

void TestLinkPorts::portList_data()
{
    // Link targets are files of the temporary directory, written "@/name";
    // "!" marks a link whose target is missing.
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("links"); // "comN=target"
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing") << QStringList() << QStringList() << QStringList();
    QTest::newRow("system ports by default number")
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyACM1"} << QStringList()
        << QStringList{"ttyACM1 = COM66", "ttyS0 = COM1", "ttyUSB0 = COM33"};
    QTest::newRow("text order, not numeric")
        << QStringList{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1"} << QStringList()
        << QStringList{"ttyS1 = COM2", "ttyS10 = COM11", "ttyS2 = COM3"};
    QTest::newRow("ports without a number are left out")
        << QStringList{"/dev/ttyS40", "/dev/rfcomm0", "/dev/ttyS3"} << QStringList()
        << QStringList{"ttyS3 = COM4"};
    QTest::newRow("links, case ignored in order")
        << QStringList() << QStringList{"com40=@/beta", "com41=@/Gamma", "com42=@/Alpha"}
        << QStringList{"@/Alpha = COM42", "@/beta = COM40", "@/Gamma = COM41"};
    QTest::newRow("a link takes the default number")
        << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << QStringList{"com33=@/adapter"}
        << QStringList{"@/adapter = COM33", "ttyUSB1 = COM34"};
    QTest::newRow("dangling link left out")
        << QStringList{"/dev/ttyS0"} << QStringList{"com40=!@/stopped"} << QStringList{"ttyS0 = COM1"};
}

void TestLinkPorts::portList()
{
    QFETCH(QStringList, system);
    QFETCH(QStringList, links);
    QFETCH(QStringList, expected);
    for (const QString& link : links) {
        const QString name = link.section(QLatin1Char('='), 0, 0);
        QString target = link.section(QLatin1Char('='), 1);
        const bool dangling = target.startsWith(QLatin1Char('!'));
        target = target.mid(dangling ? 1 : 0).replace(QLatin1Char('@'), dir());
        if (!dangling) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        makeLink(name, target);
    }
    expected.replaceInStrings(QStringLiteral("@"), dir());

    const QStringList names = serialPortNames(system, PortDirectory(dir().toStdString()));
    QCOMPARE(names, expected);
}

void TestLinkPorts::portListFromTheMachine()
{
    // Whatever this machine has: each name ends in a number that opens it.
    qputenv("SPDMON_PORT_DIR", dir().toLocal8Bit());
    makeLink(QStringLiteral("com77"), QStringLiteral("/dev/null"));
    const QStringList names = serialPortNames();
    QVERIFY(names.contains(QStringLiteral("null = COM77")));
    for (const QString& name : names) {
        const int port = ::portNumberText(name).toInt();
        QVERIFY2(port > 0, qPrintable(name));
        QVERIFY2(!PortDirectory(dir().toStdString()).devicePath(port).empty(), qPrintable(name));
    }
}

void TestLinkPorts::portNumberText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("number");
    QTest::newRow("port name") << "COM3"
                               << "3";
    QTest::newRow("bare number") << "3"
                                 << "3";
    QTest::newRow("two digits") << "COM12"
                                << "12";
    QTest::newRow("list entry") << "ttyUSB0 = COM33"
                                << "33";
    QTest::newRow("leading zeros kept") << "COM007"
                                        << "007";
    QTest::newRow("no digits") << "COM"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("trailing blank") << "COM3 "
                                    << "";
    QTest::newRow("digits not at the end") << "12abc"
                                           << "";
    QTest::newRow("full-width digit") << QString::fromUtf8("COM\xEF\xBC\x93") << "";
}

void TestLinkPorts::portNumberText()
{
    QFETCH(QString, name);
    QFETCH(QString, number);
    QCOMPARE(::portNumberText(name), number);
}

QTEST_GUILESS_MAIN(TestLinkPorts)
#include "tst_link_ports.moc"
