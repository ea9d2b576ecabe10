#pragma once

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// A mosquitto broker of its own on a free loopback port, its configuration,
// password file and saved sessions in a temporary folder.
class MqttBroker final
{
public:
    // With a login, only user "spd" with password "right" gets in.
    explicit MqttBroker(bool login = false) : m_port(freePort())
    {
        QStringList lines{QStringLiteral("listener %1 127.0.0.1").arg(m_port), QStringLiteral("user root"),
                          QStringLiteral("persistence true"),
                          QStringLiteral("persistence_location %1/").arg(m_dir.path()),
                          QStringLiteral("allow_anonymous %1").arg(login ? "false" : "true")};
        if (login) {
            const QString passwords = m_dir.filePath(QStringLiteral("passwords"));
            QProcess::execute(QStringLiteral("mosquitto_passwd"), {"-b", "-c", passwords, "spd", "right"});
            lines << QStringLiteral("password_file ") + passwords;
        }
        QFile file(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (file.open(QIODevice::WriteOnly))
            file.write(lines.join(u'\n').toUtf8() + '\n');
    }
    ~MqttBroker() { stop(); }

    static int freePort()
    {
        QTcpServer server;
        return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
    }

    bool start()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("mosquitto"),
                        {"-c", m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        return m_process.waitForStarted() && QTest::qWaitFor(
                                                 [this]() {
                                                     QTcpSocket probe;
                                                     probe.connectToHost(QHostAddress::LocalHost, m_port);
                                                     return probe.waitForConnected(200);
                                                 },
                                                 5000);
    }
    // A clean stop: sessions are saved for the next start.
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }

    // An mqtt.conf for a station named "st" in this broker's folder.
    QString writeConfig(const QString& extra) const
    {
        const QString path = m_dir.filePath(QStringLiteral("spdmon/mqtt.conf"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("spdmon")));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(
                QStringLiteral("host=127.0.0.1\nport=%1\nstation=st\n%2\n").arg(m_port).arg(extra).toUtf8());
        return path;
    }
    QString configHome() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
};

// mosquitto_sub on spdmon/#, one persistent session: QoS 1 messages published
// while it is away wait for it at the broker.
class MqttSubscriber final
{
public:
    ~MqttSubscriber() { stop(); }
    bool start(int port)
    {
        // Line-buffered, or the SUBACK line would wait for the first message.
        m_lines.clear();
        m_process.start(QStringLiteral("stdbuf"),
                        {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(port), "-t",
                         "spdmon/#", "-q", "1", "-c", "-i", "spdmon-test-sub", "-d", "-F", "%t|%r|%p"});
        return QTest::qWaitFor(
            [this]() {
                read();
                return m_subscribed;
            },
            5000);
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        m_subscribed = false;
    }
    // "topic|retained|payload" lines for topics ending in the suffix.
    QStringList messages(const QString& suffix = {})
    {
        read();
        QStringList result;
        for (const QString& line : m_lines) {
            if (line.section(u'|', 0, 0).endsWith(suffix))
                result << line;
        }
        return result;
    }

private:
    void read()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
            m_subscribed = m_subscribed || line.endsWith(QLatin1String("SUBACK"));
            if (line.startsWith(QLatin1String("spdmon/")))
                m_lines << line;
        }
    }

    QProcess m_process;
    QStringList m_lines;
    bool m_subscribed = false;
};
