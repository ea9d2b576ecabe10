#pragma once

#include <QFile>
#include <QProcess>
#include <QtDBus>
#include <cmath>

// Root mean square of the 16 bit samples between two byte positions of a file.
inline double level(const QString& path, qint64 from, qint64 to)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from & ~1))
        return -1;
    const QByteArray raw = file.read((to - from) & ~1);
    const auto* samples = reinterpret_cast<const qint16*>(raw.constData());
    double sum = 0;
    for (qsizetype i = 0; i < raw.size() / 2; ++i)
        sum += double(samples[i]) * samples[i];
    return raw.isEmpty() ? -1 : std::sqrt(sum / double(raw.size() / 2));
}

// The arguments of each call of a method that dbusmock's notification service took.
inline QList<QVariantList> noticeCalls(const QDBusConnection& bus, const QString& method)
{
    const QDBusArgument made =
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                QStringLiteral("/org/freedesktop/Notifications"),
                                                QStringLiteral("org.freedesktop.DBus.Mock"),
                                                QStringLiteral("GetMethodCalls"))
                 << method)
            .arguments()
            .value(0)
            .value<QDBusArgument>();
    quint64 time = 0;
    QList<QVariantList> all;
    for (made.beginArray(); !made.atEnd(); made.endStructure()) {
        QVariantList arguments;
        made.beginStructure();
        made >> time >> arguments;
        all << arguments;
    }
    return all;
}

// A peer the test starts (sound server, recorder, bus, notification service),
// a child of owner; null if it did not start.
inline QProcess* startPeer(QObject* owner, const QString& program, const QStringList& arguments)
{
    auto* peer = new QProcess(owner);
    peer->start(program, arguments);
    return peer->waitForStarted() ? peer : nullptr;
}
