#pragma once

#include <QString>
#include <memory>

struct MqttConfig;
struct mosquitto;

// The libmosquitto client as both the publisher and the check tool set it up,
// and the library's results in plain words.
namespace MqttClient {

struct Deleter
{
    void operator()(mosquitto* client) const;
};
using Handle = std::unique_ptr<mosquitto, Deleter>;

// A new client with the login and TLS of the settings; null when they cannot
// be applied (an unreadable CA file), with the reason in problem.
Handle create(const MqttConfig& config, void* userdata, QString* problem);
// A library result code, read right after the call that returned it, with
// errno cleared before that call.
QString errorText(int result);
// The broker's answer to a connection attempt (CONNACK return code).
QString refusalText(int returnCode);
// Whether that answer means the user name or password was not accepted.
bool isLoginRefusal(int returnCode);

} // namespace MqttClient
