// The alarm sound through its seam and for real on a PulseAudio null sink; the
// desktop notice on a private bus, without a service, then with dbusmock's.
#include "notice/AlarmAlert.h"

#include <QtDBus>
#include <QtTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Root mean square of the 16 bit samples between two byte positions of a file.
double level(const QString& path, qint64 from, qint64 to)
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
} // namespace

class AlarmAlertTest final : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QProcess* startPeer(const QString& program, const QStringList& arguments)
    {
        auto* peer = new QProcess(this); // ended with the test
        peer->start(program, arguments);
        return peer->waitForStarted() ? peer : nullptr;
    }

private slots:
    void initTestCase()
    {
        // Our own sound server in this test's home, with a null sink whose
        // monitor is recorded; runs as root too when its runtime folder is ours.
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath(u"pulse.sock"_s).toUtf8());
        QVERIFY(startPeer(u"pulseaudio"_s, {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
                                            u"-Lmodule-null-sink sink_name=spdmon_test"_s,
                                            u"-Lmodule-native-protocol-unix auth-anonymous=1 socket="_s +
                                                m_dir.filePath(u"pulse.sock"_s)}));
        QTRY_VERIFY(QFile::exists(m_dir.filePath(u"pulse.sock"_s)));
    }

    void cleanupTestCase()
    {
        for (QProcess* peer : findChildren<QProcess*>()) {
            peer->terminate();
            peer->waitForFinished();
        }
    }

    void soundFollowsAlarms_data()
    {
        QTest::addColumn<bool>("switchedOff"); // in the settings file
        QTest::addColumn<QString>("events");   // count n, r raised, s silenced
        QTest::addColumn<QString>("played");   // + started, - stopped
        QTest::newRow("silenced stays silent") << false << u"2 s 1 3"_s << u"+-"_s;
        QTest::newRow("new alarm after silence") << false << u"1 s 2 r"_s << u"+-+"_s;
        QTest::newRow("silence ends with the alarms") << false << u"1 s 0 1 r 0"_s << u"+-+-"_s;
        QTest::newRow("switched off") << true << u"1 r"_s << u""_s;
    }

    void soundFollowsAlarms()
    {
        QFETCH(bool, switchedOff);
        QFETCH(QString, events);
        const QString path = m_dir.filePath(u"spdmon.conf"_s);
        QSettings(path, QSettings::IniFormat).setValue(u"alarm/sound"_s, !switchedOff);
        AlarmAlert alert(AlarmAlert::soundEnabled(path), QDBusConnection(u"none"_s));
        QString played;
        connect(&alert.sound(), &AlarmSound::playingChanged, [&](bool on) { played += on ? u'+' : u'-'; });
        for (const QString& event : events.split(u' '))
            event == u"r"   ? alert.alarmRaised(AlarmEntry{})
            : event == u"s" ? alert.silence()
                            : alert.unacknowledgedChanged(event.toInt());
        QTEST(played, "played");
    }

    void soundIsHeardUntilSilenced()
    {
        // The null sink's monitor, recorded all along; the file grows 44100 bytes a second.
        const QString path = m_dir.filePath(u"sink.raw"_s);
        QVERIFY(
            startPeer(u"parecord"_s, {u"--raw"_s, u"--format=s16le"_s, u"--channels=1"_s, u"--rate=22050"_s,
                                      u"--latency-msec=50"_s, u"--device=spdmon_test.monitor"_s, path}));
        const auto recorded = [&]() { return QFileInfo(path).size(); };
        QTRY_VERIFY(recorded() > 22050);
        AlarmSound sound(true);
        const qint64 before = recorded();
        sound.setUnacknowledged(1);
        QTest::qWait(1500);
        const qint64 unacknowledged = recorded();
        sound.silence();
        QTest::qWait(300);
        const qint64 silenced = recorded();
        QTest::qWait(1200);
        QCOMPARE(level(path, 0, before), 0.0);
        QVERIFY2(level(path, before, unacknowledged) > 1000, "no sound while unacknowledged");
        QCOMPARE(level(path, silenced, recorded()), 0.0);
    }

    void noticeAsksForAcknowledgement()
    {
        QProcess* daemon = startPeer(u"dbus-daemon"_s, {u"--session"_s, u"--print-address"_s, u"--nofork"_s});
        QVERIFY(daemon && daemon->waitForReadyRead());
        const QString address = QString::fromUtf8(daemon->readLine().trimmed());
        QDBusConnection bus = QDBusConnection::connectToBus(address, u"private"_s);
        AlarmAlert alert(false, bus);
        QSignalSpy acknowledge(&alert, &AlarmAlert::acknowledgeRequested);
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        const AlarmEntry entry{
            {3, u"浪涌次数"_s}, AlarmState::ActiveUnacknowledged, u"2026-06-01 08:00:00"_s, u"告警"_s};
        alert.alarmRaised(entry); // no service yet: nothing happens
        QTest::qWait(300);

        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QVERIFY(startPeer(u"/usr/bin/python3"_s,
                          {u"-m"_s, u"dbusmock"_s, u"--template"_s, u"notification_daemon"_s}));
        const QString service = u"org.freedesktop.Notifications"_s,
                      path = u"/org/freedesktop/Notifications"_s;
        QTRY_VERIFY(bus.interface()->isServiceRegistered(service));
        alert.alarmRaised(entry);
        const QString mock = u"org.freedesktop.DBus.Mock"_s;
        const auto lastCall = [&](const QString& method) { // its arguments
            const QDBusArgument calls =
                bus.call(QDBusMessage::createMethodCall(service, path, mock, u"GetMethodCalls"_s) << method)
                    .arguments()
                    .value(0)
                    .value<QDBusArgument>();
            quint64 time = 0;
            QVariantList arguments;
            for (calls.beginArray(); !calls.atEnd(); calls.endStructure()) {
                calls.beginStructure();
                calls >> time >> arguments;
            }
            return arguments;
        };
        QVariantList notify;
        QTRY_VERIFY((notify = lastCall(u"Notify"_s)).size() == 8);
        const QVariant urgency =
            qdbus_cast<QVariantMap>(notify[6]).value(u"urgency"_s); // a byte, 2: critical
        QCOMPARE(std::tuple(notify[5].toStringList(), urgency.typeId(), urgency.toInt()),
                 std::tuple(QStringList{u"acknowledge"_s, u"确认"_s}, int(QMetaType::UChar), 2));
        bus.call(QDBusMessage::createMethodCall(service, path, mock, u"EmitSignal"_s)
                 << service << u"ActionInvoked"_s << u"us"_s
                 << QVariantList{QVariant::fromValue(uint(1)), u"acknowledge"_s});
        QTRY_COMPARE(acknowledge.count(), 1);
        QCOMPARE(acknowledge[0][0].value<AlarmOccurrence>(), (AlarmOccurrence{entry.key, entry.since}));
        // Withdrawn once acknowledged; a later raising's notice even before the service answered.
        alert.keepNotices({});
        QTRY_COMPARE(lastCall(u"CloseNotification"_s), QVariantList{uint(1)});
        alert.alarmRaised({entry.key, entry.state, u"2026-06-01 09:00:00"_s, entry.text});
        alert.keepNotices({});
        QTRY_COMPARE(lastCall(u"CloseNotification"_s), QVariantList{uint(2)});
    }
};

QTEST_GUILESS_MAIN(AlarmAlertTest)
#include "AlarmAlertTest.moc"
