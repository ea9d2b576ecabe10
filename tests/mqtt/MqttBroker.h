#pragma once

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// A mosquitto of its own on a free loopback port; with a login only "spd" /
// "right" gets in. Sessions are saved across a stop and a start.
class MqttBroker final
{
public:
    explicit MqttBroker(bool login = false) : m_port(freePort())
    {
        const QString passwords = m_dir.filePath(QStringLiteral("passwords"));
        if (login)
            QProcess::execute(QStringLiteral("mosquitto_passwd"), {"-b", "-c", passwords, "spd", "right"});
        write(QStringLiteral("mosquitto.conf"),
              QStringLiteral(
                  "listener %1 127.0.0.1\nuser root\npersistence true\npersistence_location %2/\n%3\n")
                  .arg(QString::number(m_port), m_dir.path(),
                       login ? QStringLiteral("password_file ") + passwords
                             : QStringLiteral("allow_anonymous true")));
    }
    ~MqttBroker() { stop(); }

    static int freePort()
    {
        QTcpServer server;
        return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
    }
    bool start()
    {
        QByteArray log;
        m_process.start(QStringLiteral("mosquitto"),
                        {"-c", m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        return QTest::qWaitFor(
            [&]() { return (log += m_process.readAllStandardError()).contains(" running"); }, 5000);
    }
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    // Stopped, it loses what it kept, as a broker without persistence does.
    void forget()
    {
        stop();
        QFile::remove(m_dir.filePath(QStringLiteral("mosquitto.db")));
    }
    int port() const { return m_port; }
    // spdmon/mqtt.conf of station "st" under this folder, also $XDG_CONFIG_HOME.
    QString writeConfig(const QString& extra)
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
        QDir(m_dir.path()).mkdir(QStringLiteral("spdmon"));
        return write(
            QStringLiteral("spdmon/mqtt.conf"),
            QStringLiteral("host=127.0.0.1\nport=%1\nstation=st\n%2\n").arg(QString::number(m_port), extra));
    }

private:
    QString write(const QString& name, const QString& text)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
};

// mosquitto_sub on spdmon/# with one persistent session: QoS 1 messages sent
// while it is away wait for it at the broker.
class MqttSubscriber final
{
public:
    ~MqttSubscriber() { stop(); }
    bool start(int port)
    {
        m_lines.clear();
        // Line-buffered, or the SUBACK line would wait for the first message.
        m_process.start(QStringLiteral("stdbuf"),
                        {"-oL", "mosquitto_sub", "-p", QString::number(port), "-t", "spdmon/#", "-q", "1",
                         "-c", "-i", "sub", "-d", "-F", "%t|%r|%p"});
        return QTest::qWaitFor(
            [this]() { return messages({}), m_lines.contains(QStringLiteral("Client sub received SUBACK")); },
            5000);
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // "topic|retained|payload" lines since the start, of topics containing part.
    QStringList messages(const QString& part)
    {
        while (m_process.canReadLine())
            m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
        QStringList result;
        for (const QString& line : m_lines) {
            if (line.startsWith(QLatin1String("spdmon/")) && line.section(u'|', 0, 0).contains(part))
                result << line;
        }
        return result;
    }

private:
    QProcess m_process;
    QStringList m_lines; // the client's own log lines too
};
