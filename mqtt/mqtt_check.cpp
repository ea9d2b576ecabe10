// spdmon-mqtt-check [FILE]: tries the MQTT settings of this station (FILE or
// the user's mqtt.conf) by connecting and publishing one test message, and
// says in plain words what went wrong. Exit status 0 when the broker took it.
#include "mqtt/MqttClient.h"
#include "mqtt/MqttConfig.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <cerrno>
#include <cstdio>
#include <mosquitto.h>

namespace {

struct Progress
{
    int connack = -1;
    bool published = false;
};

int fail(const QString& text)
{
    std::fprintf(stderr, "MQTT check failed: %s\n", qUtf8Printable(text));
    return 1;
}

// Runs the client until done() or ten seconds; false with the reason otherwise.
template <typename Done> bool runUntil(mosquitto* client, Done done, QString* reason)
{
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("no answer within 10 seconds");
            return false;
        }
        errno = 0;
        const int rc = mosquitto_loop(client, 100, 1);
        if (rc != MOSQ_ERR_SUCCESS && !done()) {
            *reason = MqttClient::errorText(rc);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: spdmon-mqtt-check [FILE]   (default %s)\n",
                     qUtf8Printable(MqttConfig::defaultPath()));
        return 2;
    }
    const QString path = argc == 2 ? QString::fromLocal8Bit(argv[1]) : MqttConfig::defaultPath();
    QString problem;
    const std::optional<MqttConfig> config = MqttConfig::load(path, &problem);
    if (!config)
        return fail(QStringLiteral("no MQTT settings: ") + problem);

    Progress progress;
    const MqttClient::Handle handle = MqttClient::create(*config, &progress, &problem);
    if (!handle)
        return fail(problem);
    mosquitto* client = handle.get();
    mosquitto_connect_callback_set(
        client, [](mosquitto*, void* p, int rc) { static_cast<Progress*>(p)->connack = rc; });
    mosquitto_publish_callback_set(
        client, [](mosquitto*, void* p, int) { static_cast<Progress*>(p)->published = true; });

    const QString address = config->address();
    errno = 0;
    const int rc = mosquitto_connect(client, config->host.toUtf8().constData(), config->port, 10);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail(QStringLiteral("cannot reach %1: %2").arg(address, MqttClient::errorText(rc)));
    QString reason;
    if (!runUntil(
            client, [&progress]() { return progress.connack >= 0; }, &reason))
        return fail(QStringLiteral("connection to %1 failed: %2").arg(address, reason));
    if (progress.connack != 0)
        return fail(QStringLiteral("%1 refused the connection: %2")
                        .arg(address, MqttClient::refusalText(progress.connack)));

    const QByteArray topic = config->topic(QStringLiteral("check"));
    const QByteArray payload = QStringLiteral("spdmon-mqtt-check %1")
                                   .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                                   .toUtf8();
    const int sent = mosquitto_publish(client, nullptr, topic.constData(), int(payload.size()),
                                       payload.constData(), 1, false);
    if (sent != MOSQ_ERR_SUCCESS)
        return fail(QStringLiteral("publishing to %1 failed: %2").arg(address, MqttClient::errorText(sent)));
    if (!runUntil(
            client, [&progress]() { return progress.published; }, &reason))
        return fail(QStringLiteral("%1 did not confirm the test message: %2").arg(address, reason));
    mosquitto_disconnect(client);
    std::printf("MQTT check passed: %s accepted a test message on %s\n", qUtf8Printable(address),
                topic.constData());
    return 0;
}
