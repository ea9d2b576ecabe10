// A station that only publishes, until it is killed.
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::unique_ptr<MqttPublisher> publisher = MqttPublisher::fromConfigFile();
    return publisher ? app.exec() : 1;
}
