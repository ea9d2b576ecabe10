// A station that only publishes: prints each hint until it is killed.
#include "mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::unique_ptr<MqttPublisher> publisher = MqttPublisher::fromConfigFile();
    if (!publisher)
        return 1;
    const auto print = [](const QString& hint) {
        std::printf("%s\n", qUtf8Printable(hint));
        std::fflush(stdout);
    };
    print(publisher->hint());
    QObject::connect(publisher.get(), &MqttPublisher::hintChanged, print);
    return app.exec();
}
