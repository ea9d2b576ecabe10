// The alarm sound through its seam and for real on a PulseAudio null sink; the
// desktop notice on a private bus, without a service, then with dbusmock's.
#include "AlertPeers.h"

#include "notice/AlarmAlert.h"

#include <QtDBus>
#include <QtTest>

using namespace Qt::StringLiterals;

class AlarmAlertTest final : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // Our own sound server in this test's home, with a null sink whose
        // monitor is recorded; runs as root too when its runtime folder is ours.
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath(u"pulse.sock"_s).toUtf8());
        QVERIFY(startPeer(
            this, u"pulseaudio"_s,
            {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
             u"-Lmodule-null-sink sink_name=spdmon_test"_s, u"-Lmodule-null-sink sink_name=spdmon_stall"_s,
             u"-Lmodule-native-protocol-unix auth-anonymous=1 socket="_s + m_dir.filePath(u"pulse.sock"_s)}));
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

    // Each new alarm after a silencing is heard, and so is the sound after its
    // stream stalled or the sink stopped taking samples for a while; while
    // nothing takes the sound, fault says so.
    void soundIsHeardAtEveryAlarm()
    {
        // The null sink's monitor, recorded all along; the file grows 44100 bytes a second.
        const QString path = m_dir.filePath(u"sink.raw"_s);
        QVERIFY(startPeer(this, u"parecord"_s,
                          {u"--raw"_s, u"--format=s16le"_s, u"--channels=1"_s, u"--rate=22050"_s,
                           u"--latency-msec=50"_s, u"--device=spdmon_test.monitor"_s, path}));
        const auto recorded = [&]() { return QFileInfo(path).size(); };
        const auto heardSince = [&](qint64 from) {
            return QTest::qWaitFor([&]() { return level(path, from, recorded()) > 1000; }, 5000);
        };
        // The last 0.6 s silent: longer than the sound's own pause.
        const auto quiet = [&]() {
            return QTest::qWaitFor([&]() { return level(path, recorded() - 27000, recorded()) == 0.0; },
                                   5000);
        };
        QTRY_VERIFY(recorded() > 22050);
        QCOMPARE(level(path, 0, recorded()), 0.0);
        const auto pactl = [](const QStringList& arguments) {
            QProcess run;
            run.start(u"pactl"_s, arguments);
            return run.waitForFinished() && run.exitCode() == 0 ? run.readAllStandardOutput()
                                                                : QByteArray("?");
        };
        QVERIFY(pactl({u"set-default-sink"_s, u"spdmon_test"_s}).isEmpty());
        QVERIFY(pactl({u"suspend-sink"_s, u"spdmon_stall"_s, u"1"_s}).isEmpty());
        AlarmSound sound(true);
        QSignalSpy fault(&sound, &AlarmSound::faultChanged);
        sound.setUnacknowledged(1);
        for (int cycle = 0; cycle < 20; ++cycle) {
            QVERIFY2(heardSince(recorded()), qPrintable(u"not heard in cycle %1"_s.arg(cycle)));
            sound.silence();
            QVERIFY2(quiet(), qPrintable(u"heard after silencing in cycle %1"_s.arg(cycle)));
            sound.alarmRaised();
        }
        QVERIFY(heardSince(recorded()));
        // An alarm taken in while 消音 deletes the stream sounds, on one stream.
        QSignalSpy playing(&sound, &AlarmSound::playingChanged);
        QMetaObject::invokeMethod(&sound, &AlarmSound::alarmRaised, Qt::QueuedConnection);
        sound.silence();
        QCOMPARE(std::tuple(sound.isPlaying(), playing.last().value(0).toBool()), std::tuple(true, true));
        QVERIFY(heardSince(recorded()));
        // Our stream moved to a sink that takes nothing: open and running, but not heard.
        const QString stream =
            QString::fromLatin1(pactl({u"list"_s, u"short"_s, u"sink-inputs"_s}).split('\t')[0]);
        const qint64 moved = recorded();
        QVERIFY(pactl({u"move-sink-input"_s, stream, u"spdmon_stall"_s}).isEmpty());
        QVERIFY(heardSince(moved + 44100)); // a second on: not what was under way
        QVERIFY(pactl({u"suspend-sink"_s, u"spdmon_test"_s, u"1"_s}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!sound.fault().isEmpty(), 10000);
        QVERIFY(sound.isPlaying());
        QVERIFY(pactl({u"suspend-sink"_s, u"spdmon_test"_s, u"0"_s}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(sound.fault().isEmpty(), 10000);
        QVERIFY(heardSince(recorded()));
        QVERIFY(fault.count() >= 2);
        QCOMPARE(fault.last(), QVariantList{QString()});
        // Going while it plays runs nothing else meanwhile: its owner may be half gone.
        bool ran = false;
        QTimer::singleShot(0, this, [&ran]() { ran = true; });
        auto* going = new AlarmSound(true);
        going->setUnacknowledged(1);
        delete going;
        QVERIFY(!ran);
    }

    void noticeAsksForAcknowledgement()
    {
        QProcess* daemon =
            startPeer(this, u"dbus-daemon"_s, {u"--session"_s, u"--print-address"_s, u"--nofork"_s});
        QVERIFY(daemon && daemon->waitForReadyRead());
        const QString address = QString::fromUtf8(daemon->readLine().trimmed());
        QDBusConnection bus = QDBusConnection::connectToBus(address, u"private"_s);
        AlarmAlert alert(false, bus);
        QSignalSpy acknowledge(&alert, &AlarmAlert::acknowledgeRequested);
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        // A communication loss and a node alarm, their names typed with markup characters.
        const QString since = u"2026-06-01 08:00:00"_s;
        const AlarmEntry loss{{3, u""_s}, AlarmState::ActiveUnacknowledged, since, u"K&<3>[3];  通信异常"_s};
        const AlarmEntry entry{
            {5, u"浪涌次数"_s}, AlarmState::ActiveUnacknowledged, since, u"B<5>[5];  浪涌次数:9"_s};
        alert.alarmRaised(entry); // no service yet: nothing happens
        QTest::qWait(300);

        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QVERIFY(startPeer(this, u"/usr/bin/python3"_s,
                          {u"-m"_s, u"dbusmock"_s, u"--template"_s, u"notification_daemon"_s}));
        const QString service = u"org.freedesktop.Notifications"_s,
                      path = u"/org/freedesktop/Notifications"_s;
        QTRY_VERIFY(bus.interface()->isServiceRegistered(service));
        // The operator picks the second notice's action before we hear the reply
        // that names it (Qt can hand them to us in this order under load).
        const QString mock = u"org.freedesktop.DBus.Mock"_s;
        bus.call(QDBusMessage::createMethodCall(service, path, mock, u"AddMethod"_s)
                 << service << u"Notify"_s << u"susssasa{sv}i"_s << u"u"_s
                 << u"ret = self.next_id\nself.next_id += 1\nif ret == 2:\n"
                    "    self.EmitSignal('', 'ActionInvoked', 'us', [ret, 'acknowledge'])"_s);
        alert.alarmRaised(loss);
        alert.alarmRaised(entry);
        const auto calls = [&](const QString& method) { return noticeCalls(bus, method); };
        QList<QVariantList> notify;
        QTRY_COMPARE((notify = calls(u"Notify"_s)).size(), 2);
        QStringList texts; // summary and body of each
        for (const QVariantList& arguments : notify)
            texts << arguments.value(3).toString() + u" | "_s + arguments.value(4).toString();
        QCOMPARE(texts, QStringList({u"K&<3>[3] 通信异常 | K&amp;&lt;3&gt;[3];  通信异常"_s,
                                     u"设备5 浪涌次数 告警 | B&lt;5&gt;[5];  浪涌次数:9"_s}));
        const QVariant urgency =
            qdbus_cast<QVariantMap>(notify[1][6]).value(u"urgency"_s); // a byte, 2: critical
        QCOMPARE(std::tuple(notify[1][5].toStringList(), urgency.typeId(), urgency.toInt()),
                 std::tuple(QStringList{u"acknowledge"_s, u"确认"_s}, int(QMetaType::UChar), 2));
        QTRY_COMPARE(acknowledge.count(), 1);
        // The first notice's action, picked once it is known.
        bus.call(QDBusMessage::createMethodCall(service, path, mock, u"EmitSignal"_s)
                 << service << u"ActionInvoked"_s << u"us"_s
                 << QVariantList{QVariant::fromValue(uint(1)), u"acknowledge"_s});
        QTRY_COMPARE(acknowledge.count(), 2);
        QCOMPARE(std::tuple(acknowledge[0][0].value<AlarmOccurrence>(),
                            acknowledge[1][0].value<AlarmOccurrence>()),
                 std::tuple(AlarmOccurrence{entry.key, entry.since}, AlarmOccurrence{loss.key, loss.since}));
        // Withdrawn once acknowledged; a later raising's notice even before the service answered.
        alert.keepNotices({});
        QTRY_COMPARE(calls(u"CloseNotification"_s).size(), 2);
        alert.alarmRaised({entry.key, entry.state, u"2026-06-01 09:00:00"_s, entry.text});
        alert.keepNotices({});
        QTRY_COMPARE(calls(u"CloseNotification"_s).value(2), QVariantList{uint(3)});
    }
};

QTEST_GUILESS_MAIN(AlarmAlertTest)
#include "AlarmAlertTest.moc"
