#include "mqtt/MqttClient.h"

#include "mqtt/MqttConfig.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace MqttClient {

void Deleter::operator()(mosquitto* client) const
{
    mosquitto_destroy(client);
}

Handle create(const MqttConfig& config, void* userdata, QString* problem)
{
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised);
    // A random client id with a clean session: two stations with the same
    // name must not throw each other off the broker.
    Handle client(mosquitto_new(nullptr, true, userdata));
    if (!client) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    if (!config.username.isEmpty()) {
        const int rc = mosquitto_username_pw_set(
            client.get(), config.username.toUtf8().constData(),
            config.password.isEmpty() ? nullptr : config.password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS) {
            *problem = errorText(rc);
            return nullptr;
        }
    }
    if (!config.cafile.isEmpty()) {
        const int rc = mosquitto_tls_set(client.get(), config.cafile.toLocal8Bit().constData(), nullptr,
                                         nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *problem = QStringLiteral("TLS: cannot use the CA file %1").arg(config.cafile);
            return nullptr;
        }
    }
    return client;
}

QString errorText(int result)
{
    switch (result) {
    case MOSQ_ERR_ERRNO:
        // A read that meets the end of the stream says "errno" and leaves
        // errno as it was: cleared before the call, it stays 0.
        return errno == 0 ? errorText(MOSQ_ERR_CONN_LOST) : QString::fromLocal8Bit(std::strerror(errno));
    case MOSQ_ERR_EAI:
        return QStringLiteral("host name not found");
    case MOSQ_ERR_TLS:
        return QStringLiteral("TLS error: certificate not accepted or the broker does not speak TLS");
    case MOSQ_ERR_CONN_LOST:
        return QStringLiteral("connection lost");
    case MOSQ_ERR_NO_CONN:
        return QStringLiteral("not connected");
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("the broker stopped answering");
    case MOSQ_ERR_PROTOCOL:
        return QStringLiteral("not an MQTT broker, or it speaks another protocol version");
    default:
        return QString::fromUtf8(mosquitto_strerror(result));
    }
}

QString refusalText(int returnCode)
{
    switch (returnCode) {
    case 1:
        return QStringLiteral("the broker does not speak this MQTT version");
    case 2:
        return QStringLiteral("the broker rejected the client id");
    case 3:
        return QStringLiteral("the broker is unavailable");
    case 4:
        return QStringLiteral("wrong user name or password");
    case 5:
        return QStringLiteral("not authorised: user name or password refused");
    default:
        return QString::fromUtf8(mosquitto_connack_string(returnCode));
    }
}

bool isLoginRefusal(int returnCode)
{
    return returnCode == 4 || returnCode == 5;
}

} // namespace MqttClient
