// mqtt.conf as an operator writes it: values are taken as written, and what
// cannot be read is refused with its line.
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
        // host|port|station|username|password|cafile, or the problem with the path as FILE.
        QTest::addColumn<QString>("read");
        QTest::newRow("punctuation kept")
            << u"host=b\nstation=room,2\nusername=a=b\npassword=a,b\n"_s << u"b|1883|room,2|a=b|a,b|"_s;
        QTest::newRow("semicolon inside a value")
            << u"host=b\nstation=s\npassword=pa;ss"_s << u"b|1883|s||pa;ss|"_s;
        QTest::newRow("quotes kept") << u"host=b\nstation=s\npassword=p\"w\"d\n"_s << u"b|1883|s||p\"w\"d|"_s;
        QTest::newRow("comments and blanks")
            << u"; settings\r\n  # test\r\n\r\nhost = b.lan   ; required\r\nport=8883\t; TLS\r\nstation=s\r\n"
               "password= x #1 \r\ncafile=/c.crt ;\r\n"_s
            << u"b.lan|8883|s||x #1|/c.crt"_s;
        QTest::newRow("line without =") << u"host=b\npassword\n"_s << u"FILE line 2: no '=': password"_s;
        QTest::newRow("unknown key") << u"host=b\n Hots=c \n"_s << u"FILE line 2: unknown key: Hots=c"_s;
        QTest::newRow("port not a number")
            << u"host=b\nport=80a\n"_s << u"FILE line 2: port must be a number from 1 to 65535: port=80a"_s;
        QTest::newRow("port out of range")
            << u"host=b\nport=65536\n"_s << u"FILE line 2: port must be a number from 1 to 65535: port=65536"_s;
        QTest::newRow("empty host") << u"station=s\nhost= ; later\n"_s << u"FILE line 2: no host: host= ; later"_s;
        QTest::newRow("no host") << u"port=1883\n"_s << u"FILE names no host"_s;
    }

    void load()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"mqtt.conf"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size());
        file.close();
        QString problem;
        const std::optional<MqttConfig> c = MqttConfig::load(path, &problem);
        const QString got =
            c ? QStringList{c->host, QString::number(c->port), c->station, c->username, c->password, c->cafile}
                    .join(u'|')
              : problem.replace(path, u"FILE"_s);
        QCOMPARE(got, read);
    }
};

QTEST_MAIN(MqttConfigTest)
#include "MqttConfigTest.moc"
