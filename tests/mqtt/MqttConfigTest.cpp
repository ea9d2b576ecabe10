// mqtt.conf values are taken as written; what cannot be read is refused with its line.
#include "mqtt/MqttConfig.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class MqttConfigTest final : public QObject
{
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // host|port|station|username|password|cafile, or the problem
        QTest::newRow("commas, semicolon, quotes")
            << u"host=b\nstation=room,2\nusername=a=b\npassword=a,b;\"c\""_s
            << u"b|1883|room,2|a=b|a,b;\"c\"|"_s;
        QTest::newRow("no port line") << u"host=b\nstation=1#站+/"_s << u"b|1883|1_站__|||"_s;
        QTest::newRow("comments") << u"; a\r\n  # b\r\n\r\nhost = h   ; c\r\nport=8883\t; d\r\nstation=s\r\n"
                                     "password= x #1 \r\ncafile=/c.crt ;\r\n"_s
                                  << u"h|8883|s||x #1|/c.crt"_s;
        QTest::newRow("no =") << u"host=b\npassword\n"_s << u"FILE line 2: no '='"_s;
        QTest::newRow("unknown key") << u"host=b\n Hots=c \n"_s << u"FILE line 2: unknown key: Hots"_s;
        QTest::newRow("bad port") << u"host=b\nport=80a"_s
                                  << u"FILE line 2: must be a number from 1 to 65535: port"_s;
        QTest::newRow("empty host") << u"station=s\nhost= ; x"_s << u"FILE line 2: empty value: host"_s;
        QTest::newRow("no host") << u"port=1883\n"_s << u"FILE names no host"_s;
        QTest::newRow("discovery") << u"host=b\nstation=s\ndiscovery=homeassistant"_s
                                   << u"b|1883|s||||discovery:homeassistant"_s;
        QTest::newRow("discovery prefix")
            << u"host=b\nstation=s\ndiscovery_prefix=ha/x\ndiscovery = homeassistant"_s
            << u"b|1883|s||||discovery:ha/x"_s;
        QTest::newRow("prefix alone") << u"host=b\nstation=s\ndiscovery_prefix=ha"_s << u"b|1883|s|||"_s;
        QTest::newRow("other discovery")
            << u"host=b\ndiscovery=yes"_s << u"FILE line 2: must be homeassistant or empty: discovery"_s;
        QTest::newRow("wildcard prefix")
            << u"host=b\ndiscovery_prefix=ha/#"_s
            << u"FILE line 2: must be a topic without + or #: discovery_prefix"_s;
    }

    void load()
    {
        QFETCH(QString, text);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"mqtt.conf"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0 && file.flush());
        QString problem;
        const std::optional<MqttConfig> c = MqttConfig::load(file.fileName(), &problem);
        QString read =
            c ? QStringList{c->host,  QString::number(c->port), c->station, c->username, c->password,
                            c->cafile}
                    .join(u'|')
              : problem.replace(file.fileName(), u"FILE"_s);
        if (c && !c->discoveryPrefix.isEmpty())
            read += u"|discovery:"_s + c->discoveryPrefix;
        QTEST(read, "read");
    }
};

QTEST_MAIN(MqttConfigTest)
#include "MqttConfigTest.moc"
