#include "link/PortDirectory.h"
#include "link/SerialPortList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Port numbers to device files, and the port list of the serial dialog.
class TestLinkPorts final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString dir() const { return m_dir->path(); }
    QString pathOf(int port) const
    {
        return QString::fromStdString(PortDirectory(dir().toStdString()).devicePath(port));
    }
    void makeLink(const QString& name, const QString& target)
    {
        QVERIFY2(QFile::link(target, dir() + u'/' + name), qPrintable(name));
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
        QTest::addColumn<QString>("link");   // target of a link comN; empty: none
        QTest::addColumn<QString>("device"); // "@" is the port directory
        QTest::newRow("COM1") << 1 << QString() << "/dev/ttyS0";
        QTest::newRow("COM32") << 32 << QString() << "/dev/ttyS31";
        QTest::newRow("COM33") << 33 << QString() << "/dev/ttyUSB0";
        QTest::newRow("COM64") << 64 << QString() << "/dev/ttyUSB31";
        QTest::newRow("COM65") << 65 << QString() << "/dev/ttyACM0";
        QTest::newRow("COM96") << 96 << QString() << "/dev/ttyACM31";
        QTest::newRow("COM97 has none") << 97 << QString() << "";
        QTest::newRow("COM0 has none") << 0 << QString() << "";
        QTest::newRow("link takes precedence") << 33 << u"/dev/null"_s << "@/com33";
        QTest::newRow("link past the default ranges") << 200 << u"/dev/null"_s << "@/com200";
        // An unplugged adapter's link must not silently open some other device.
        QTest::newRow("dangling link") << 5 << u"@/gone"_s << "@/com5";
    }

    void devicePath()
    {
        QFETCH(int, port);
        QFETCH(QString, link);
        QFETCH(QString, device);
        if (link.isEmpty()) {
            makeLink(u"com%1"_s.arg(port + 1), u"/dev/null"_s); // another port's link changes nothing
            QCOMPARE(QString::fromStdString(PortDirectory::defaultDevicePath(port)), device);
            if (!device.isEmpty())
                QCOMPARE(PortDirectory::defaultPortNumber(device.toStdString()), port);
        } else {
            makeLink(u"com%1"_s.arg(port), link.replace(u'@', dir()));
        }
        QCOMPARE(pathOf(port), device.replace(u'@', dir()));
    }

    void portList_data()
    {
        // Links are "comN=target", targets files of the temporary directory
        // written "@/name"; "!" marks a link whose target is missing.
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("system ports by default number, in text order")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM1"} << QStringList()
            << QStringList{"ttyACM1 = COM66", "ttyS10 = COM11", "ttyS2 = COM3", "ttyUSB0 = COM33"};
        QTest::newRow("ports without a default number left out")
            << QStringList{"/dev/ttyS32",   "/dev/ttyACM32", "/dev/ttyUSB", "/dev/ttyS01",
                           "/dev/ttyUSB0x", "/dev/pts/3",    "ttyS0",       "/dev/ttyS3"}
            << QStringList() << QStringList{"ttyS3 = COM4"};
        QTest::newRow("comN links, case ignored in order")
            << QStringList() << QStringList{"com40=@/beta", "com41=@/Gamma", "com42=@/Alpha", "com07=@/a",
                                            "comX=@/b",     "COM6=@/c",      "com5.bak=@/d"}
            << QStringList{"@/Alpha = COM42", "@/beta = COM40", "@/Gamma = COM41"};
        QTest::newRow("a link takes the default number")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << QStringList{"com33=@/adapter"}
            << QStringList{"@/adapter = COM33", "ttyUSB1 = COM34"};
        QTest::newRow("dangling link left out")
            << QStringList{"/dev/ttyS0"} << QStringList{"com40=!@/stopped"} << QStringList{"ttyS0 = COM1"};
    }

    void portList()
    {
        QFETCH(QStringList, system);
        QFETCH(QStringList, links);
        QFETCH(QStringList, expected);
        for (const QString& link : links) {
            QString target = link.section(u'=', 1);
            const bool dangling = target.startsWith(u'!');
            target = target.mid(dangling ? 1 : 0).replace(u'@', dir());
            QVERIFY(dangling || QFile(target).open(QIODevice::WriteOnly));
            makeLink(link.section(u'=', 0, 0), target);
        }
        QCOMPARE(serialPortNames(system, PortDirectory(dir().toStdString())),
                 expected.replaceInStrings(u"@"_s, dir()));
    }

    void userDirectoryChoice_data()
    {
        // Last, as it leaves the environment changed.
        QTest::addColumn<QStringList>("environment"); // SPDMON_PORT_DIR, XDG_CONFIG_HOME, HOME
        QTest::addColumn<QString>("expected");
        QTest::newRow("override wins") << QStringList{"/srv/ports", "/cfg", "/home/op"} << "/srv/ports";
        QTest::newRow("XDG config") << QStringList{"", "/cfg", "/home/op"} << "/cfg/spdmon/dosdevices";
        QTest::newRow("relative XDG ignored")
            << QStringList{"", "cfg", "/home/op"} << "/home/op/.config/spdmon/dosdevices";
        QTest::newRow("home") << QStringList{"", "", "/home/op"} << "/home/op/.config/spdmon/dosdevices";
    }

    void userDirectoryChoice()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, expected);
        const char* const names[] = {"SPDMON_PORT_DIR", "XDG_CONFIG_HOME", "HOME"};
        for (int i = 0; i < 3; ++i) {
            if (environment[i].isEmpty())
                qunsetenv(names[i]);
            else
                qputenv(names[i], environment[i].toLocal8Bit());
        }
        QCOMPARE(QString::fromStdString(PortDirectory::userDirectory()), expected);
    }
};

QTEST_GUILESS_MAIN(TestLinkPorts)
#include "tst_link_ports.moc"
