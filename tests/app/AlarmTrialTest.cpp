// A long trial of the whole station against kpv-sim: faults come and go by a
// seeded script while the operator silences and acknowledges through the
// window and the notices. The sound is recorded on a null sink, the notices
// taken by dbusmock, MQTT by a subscriber; at the end the alarm log, the alarm
// events, the notices, MQTT and the operation log must agree with each other.
// Device 4 has a node on a register it lacks; device 2 is deleted in alarm.
// Runs SPDMON_TRIAL_SECONDS (600) seconds, seeded by SPDMON_TRIAL_SEED.
#include "AlertPeers.h"
#include "KpvSim.h"
#include "ModalDriver.h"
#include "MqttBroker.h"

#include "app/ActiveAlarmPanel.h"
#include "link/SerialDialog.h"

#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
qint64 residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    return text.mid(text.indexOf("VmRSS:") + 6).trimmed().split(' ').value(0).toLongLong();
}
} // namespace

class AlarmTrialTest final : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

public:
    AlarmTrialTest() { qputenv("QTEST_FUNCTION_TIMEOUT", "3600000"); } // longer than any trial

private slots:
    void cleanupTestCase()
    {
        for (QProcess* peer : findChildren<QProcess*>()) {
            peer->terminate();
            peer->waitForFinished();
        }
    }

    void faultsComeAndGo()
    {
        const int seconds = qEnvironmentVariable("SPDMON_TRIAL_SECONDS", u"600"_s).toInt();
        QRandomGenerator script(quint32(qEnvironmentVariableIntValue("SPDMON_TRIAL_SEED")));
        const QString socket = m_dir.filePath(u"pulse.sock"_s), raw = m_dir.filePath(u"sink.raw"_s);
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        qputenv("SPDMON_PORT_DIR", m_dir.path().toUtf8());
        QVERIFY(startPeer(this, u"pulseaudio"_s,
                          {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
                           u"-Lmodule-null-sink sink_name=trial"_s,
                           u"-Lmodule-native-protocol-unix auth-anonymous=1 socket="_s + socket}));
        QTRY_VERIFY(QFile::exists(socket));
        QVERIFY(startPeer(this, u"parecord"_s,
                          {u"--raw"_s, u"--format=s16le"_s, u"--channels=1"_s, u"--rate=22050"_s,
                           u"--latency-msec=50"_s, u"--device=trial.monitor"_s, raw}));
        QProcess* daemon =
            startPeer(this, u"dbus-daemon"_s, {u"--session"_s, u"--print-address"_s, u"--nofork"_s});
        QVERIFY(daemon && daemon->waitForReadyRead());
        qputenv("DBUS_SESSION_BUS_ADDRESS", daemon->readLine().trimmed());
        QVERIFY(startPeer(this, u"/usr/bin/python3"_s,
                          {u"-m"_s, u"dbusmock"_s, u"--template"_s, u"notification_daemon"_s}));
        QDBusConnection bus = QDBusConnection::sessionBus();
        QTRY_VERIFY(bus.interface()->isServiceRegistered(u"org.freedesktop.Notifications"_s));
        const auto calls = [&](const QString& method) { return noticeCalls(bus, method); };
        MqttBroker broker;
        QVERIFY(broker.start());
        broker.writeConfig({});
        MqttSubscriber subscriber;
        QVERIFY(subscriber.start(broker.port()));
        KpvSim sim;
        QVERIFY(sim.start(202, {1, 2, 3, 4}));

        MainWindowFixture f;
        f.db.addUser(u"op"_s, u"pw"_s, u"管理员"_s);
        f.db.exec(u"INSERT INTO soft_record VALUES ('T', 202, 9600, 8, 1, 'n', 0, 100)"_s);
        for (const char* device : {"1", "2", "3", "4"})
            f.db.exec(
                u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                "node_reg_add, con_data_type, node_data_lower, node_data_upper) VALUES "
                "(%1, 'KPV%1', 3, '%2', '设备状态', 11, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '%2', '浪涌保护器', 9, '开关量', 0, 65535), "
                "(%1, 'KPV%1', 3, '%2', '浪涌次数', 5, '模拟量', 0, 3)"_s.arg(device,
                                                                              u"0000(正常)/FFFF(异常)"_s));
        f.db.exec(u"UPDATE node_record SET node_name = '温度', node_reg_add = 77 WHERE device_id = 4 AND "
                  "node_name = '浪涌保护器'"_s); // a register device 4 lacks
        f.logInAndOpenPort(u"op"_s, u"pw"_s);
        f.form->toggleMonitoring();

        // "device|node|state|time|user|text" of every alarm event, and the texts of those raising an alarm.
        const auto events = [&]() {
            return f.db.column(u"SELECT device_id||'|'||node_name||'|'||state||'|'||event_time||'|'||"
                               "coalesce(user_name,'')||'|'||text FROM alarm_event ORDER BY rowid"_s);
        };
        const auto raised = [&](const QStringList& all) {
            QHash<QString, QString> state;
            QStringList texts;
            for (const QString& event : all) {
                const QString key = event.section(u'|', 0, 1), next = event.section(u'|', 2, 2);
                if (next == u"active_unacknowledged"_s && state.value(key, u"normal"_s) == u"normal"_s)
                    texts << event.section(u'|', 5);
                state[key] = next;
            }
            return texts;
        };
        const auto recorded = [&]() { return QFileInfo(raw).size(); };
        // The last 0.6 s silent: longer than the sound's own pause.
        const auto quiet = [&]() {
            return QTest::qWaitFor([&]() { return level(raw, recorded() - 27000, recorded()) == 0.0; }, 5000);
        };
        // Runs a command that raises count alarms: each is heard, and 消音 silences it; empty if so.
        const auto raise = [&](int device, const QString& command, int count) {
            const auto ofDevice = [&]() { return raised(events()).filter(u"KPV%1["_s.arg(device)).size(); };
            const qsizetype before = ofDevice();
            const qint64 from = recorded();
            if (!sim.command(command) ||
                !QTest::qWaitFor([&]() { return ofDevice() >= before + count; }, 30000))
                return u"not raised: "_s + command;
            if (!QTest::qWaitFor([&]() { return level(raw, from, recorded()) > 1000; }, 10000))
                return u"not heard: "_s + command;
            // The window has taken in every raising once each has its notice.
            if (!QTest::qWaitFor([&]() { return calls(u"Notify"_s).size() == raised(events()).size(); },
                                 10000))
                return u"no notice: "_s + command;
            QTest::mouseClick(f.form->silenceButton, Qt::LeftButton);
            return quiet() ? QString() : u"heard after 消音: "_s + command;
        };
        const auto alarmRows = [&](const QString& where) {
            return f.db.column(u"SELECT COUNT(*) FROM alarm_state WHERE "_s + where).value(0).toInt();
        };
        const auto acknowledged = [&]() {
            return QTest::qWaitFor([&]() { return f.form->unacknowledgedAlarms() == 0; }, 10000);
        };
        // The loss of device 4 comes once and stays, acknowledged.
        QCOMPARE(raise(4, u"normal all"_s, 1), QString());
        QTest::mouseClick(f.form->activeAlarms->acknowledgeAllButton, Qt::LeftButton);
        QVERIFY(acknowledged());

        QList<int> live{1, 2, 3};
        qsizetype deletion = -1, firstKiB = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000) {
            if (firstKiB == 0 && clock.elapsed() > std::min(60000, seconds * 500))
                firstKiB = residentKiB();
            if (deletion < 0 && clock.elapsed() > seconds * 500) {
                QCOMPARE(raise(2, u"abnormal 2"_s, 2), QString());
                deletion = events().size();
                drive(f.form->devicesButton, [&](QDialog& d) {
                    auto* tree = child<QTreeWidget>(d, "deviceTree");
                    const QTreeWidgetItem* item =
                        tree->findItems(u"KPV2[地址:2]"_s, Qt::MatchRecursive).value(0);
                    QVERIFY(item);
                    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                                      tree->visualItemRect(item).center());
                    press(d, "deleteButton");
                });
                QCOMPARE(MessageBox::takeShown(), QStringList{u"设备删除成功"_s});
                QVERIFY(acknowledged());
                f.form->toggleMonitoring();
                live.removeOne(2);
                continue;
            }
            const int device = live[script.bounded(int(live.size()))], how = script.bounded(3);
            const bool surge = script.bounded(3) == 0, silent = !surge && script.bounded(2) == 0;
            const qsizetype notices = calls(u"Notify"_s).size();
            const QString target = QString::number(device);
            const QString command = surge ? u"surge %1 4"_s : silent ? u"silent %1"_s : u"abnormal %1"_s;
            QCOMPARE(raise(device, command.arg(device), surge || silent ? 1 : 2), QString());
            const bool returnFirst = script.bounded(2) == 0;
            const auto recover = [&]() {
                return sim.command(u"set %1 5 0"_s.arg(target)) && sim.command(u"normal all"_s) &&
                       QTest::qWaitFor([&]() { return alarmRows(u"state LIKE 'active%'"_s) == 1; }, 30000);
            };
            if (returnFirst)
                QVERIFY(recover());
            if (how == 0) { // each by 确认, newest first
                QTableView* grid = f.form->activeAlarms->activeAlarmGrid;
                for (int tries = 0; f.form->unacknowledgedAlarms() > 0 && tries < 4; ++tries) {
                    const int before = f.form->unacknowledgedAlarms();
                    int row = 0;
                    while (grid->model()->index(row, 1).data().toString() == u"告警已确认"_s)
                        ++row;
                    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                      grid->visualRect(grid->model()->index(row, 0)).center());
                    QTest::mouseClick(f.form->activeAlarms->acknowledgeButton, Qt::LeftButton);
                    QTRY_VERIFY(f.form->unacknowledgedAlarms() < before);
                }
            } else if (how == 1) {
                QTest::mouseClick(f.form->activeAlarms->acknowledgeAllButton, Qt::LeftButton);
            } else { // the notices' action
                for (qsizetype id = notices + 1; id <= calls(u"Notify"_s).size(); ++id)
                    bus.call(QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
                                                            u"/org/freedesktop/Notifications"_s,
                                                            u"org.freedesktop.DBus.Mock"_s, u"EmitSignal"_s)
                             << u"org.freedesktop.Notifications"_s << u"ActionInvoked"_s << u"us"_s
                             << QVariantList{QVariant::fromValue(uint(id)), u"acknowledge"_s});
            }
            QVERIFY(acknowledged());
            if (!returnFirst)
                QVERIFY(recover());
            QTRY_COMPARE(alarmRows(u"1"_s), 1);
        }
        QVERIFY(deletion >= 0);
        f.form->toggleMonitoring();
        QVERIFY(f.settle());

        const QStringList all = events();
        const auto sorted = [](QStringList list) { return list.sort(), list; };
        // Device 4's loss never flapped; nothing of device 2 is left.
        QCOMPARE(all.filter(QRegularExpression(u"^4\\|\\|"_s)).size(), 2);
        QCOMPARE(alarmRows(u"device_id = 2"_s), 0);
        QTRY_COMPARE(f.form->activeAlarms->activeAlarmGrid->model()->rowCount(), 1);
        // The alarm log has a line for each node alarm raised.
        QStringList nodeRaised = raised(all);
        nodeRaised.removeIf([](const QString& text) { return text.endsWith(u"通信异常"_s); });
        QCOMPARE(f.db.column(u"SELECT 告警纪录 FROM alarm_record ORDER BY rowid"_s), nodeRaised);
        // One notice per raising, each withdrawn once acknowledged or ended.
        QStringList bodies;
        for (const QVariantList& arguments : calls(u"Notify"_s))
            bodies << arguments.value(4).toString();
        QCOMPARE(bodies, raised(all));
        QTRY_COMPARE(calls(u"CloseNotification"_s).size(), bodies.size());
        // Every acknowledgement has its operation log line; the deletion ended device 2's two alarms.
        QStringList logged, acknowledgements;
        for (const QString& row : f.db.column(
                 u"SELECT 操作时间||'|'||用户名||'|'||详情 FROM operation_log WHERE 操作='确认告警'"_s))
            for (const QString& line : row.section(u'|', 2).split(u'\n'))
                logged << row.section(u'|', 0, 1) + u'|' + line;
        for (qsizetype i = 0; i < all.size(); ++i)
            if (!all[i].section(u'|', 4, 4).isEmpty() && (i < deletion || i > deletion + 1))
                acknowledgements << all[i].section(u'|', 3, 4) + u'|' + all[i].section(u'|', 5);
        QCOMPARE(sorted(logged), sorted(acknowledgements));
        QCOMPARE(all.mid(deletion, 2).filter(QRegularExpression(u"^2\\|.*\\|normal\\|.*\\|op\\|"_s)).size(),
                 2);
        // MQTT carried every event, and the last retained list is alarm_state.
        const auto mqtt = [&](const QString& topic) {
            QList<QJsonObject> objects;
            for (const QString& line : subscriber.messages(topic)) {
                const QJsonDocument json = QJsonDocument::fromJson(line.section(u'|', 2).toUtf8());
                if (json.isArray()) // a list replaces the one before
                    objects.clear();
                for (const QJsonValue value : json.isArray() ? json.array() : QJsonArray{json.object()})
                    objects << value.toObject();
            }
            QStringList texts;
            for (const QJsonObject& o : objects) {
                QStringList fields; // those it has: an event has a time and user, the list a since
                for (const char* name : {"device_id", "node_name", "state", "since", "time", "user", "text"})
                    if (o.contains(QLatin1String(name)))
                        fields << o[QLatin1String(name)].toVariant().toString();
                texts << fields.join(u'|');
            }
            return texts;
        };
        QTRY_COMPARE(sorted(mqtt(u"alarms/event"_s)), sorted(all));
        QCOMPARE(
            sorted(mqtt(u"alarms/active"_s)),
            sorted(f.db.column(
                u"SELECT device_id||'|'||node_name||'|'||state||'|'||since||'|'||text FROM alarm_state"_s)));
        QVERIFY2(residentKiB() < firstKiB + 64 * 1024,
                 qPrintable(u"%1 KiB, %2 at first"_s.arg(residentKiB()).arg(firstKiB)));
    }
};

QTEST_MAIN(AlarmTrialTest)
#include "AlarmTrialTest.moc"
