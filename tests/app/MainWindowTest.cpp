#include "MainWindowFixture.h"

#include "app/ActiveAlarmPanel.h"
#include "app/CardFrame.h"
#include "device/DeviceDialog.h"
#include "display/Cards.h"
#include "display/DataPanel.h"
#include "notice/AlarmAlert.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>

class MainWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void resizeByScreenWidth_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pane");
        QTest::newRow("1025") << 1025 << QSize(1196, 747) << 600;
        QTest::newRow("1024") << 1024 << QSize(1024, 758) << 590;
        QTest::newRow("801") << 801 << QSize(1024, 758) << 590;
        QTest::newRow("800") << 800 << QSize(800, 590) << 420;
        QTest::newRow("601") << 601 << QSize(800, 590) << 420;
        QTest::newRow("600") << 600 << QSize(1196, 747) << 600;
    }

    void resizeByScreenWidth()
    {
        QFETCH(int, screen);
        QFETCH(QSize, size);
        QFETCH(int, pane);
        MainWindowFixture f(screen);
        QCOMPARE(f.form->size(), size);
        QCOMPARE(std::pair(f.form->deviceTree->height(), f.form->cardFrame->height()), std::pair(pane, pane));
    }

    void periodFieldsTakeOnlyDigitsAndDot()
    {
        MainWindowFixture f;
        for (QLineEdit* edit : {f.form->periodEdit, f.form->readPeriodEdit}) {
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("-1a ,2.5"));
            QCOMPARE(edit->text(), QStringLiteral("12.5"));
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), QStringLiteral("12."));
            // Keys whose text is a control character, as X11 sends them, still work.
            const auto press = [edit](Qt::Key key, Qt::KeyboardModifiers modifiers, const char* text) {
                QKeyEvent event(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text));
                QApplication::sendEvent(edit, &event);
            };
            edit->setCursorPosition(0);
            press(Qt::Key_Delete, Qt::NoModifier, "\x7f");
            QCOMPARE(edit->text(), QStringLiteral("2."));
            press(Qt::Key_A, Qt::ControlModifier, "\x01");
            QCOMPARE(edit->selectedText(), QStringLiteral("2."));
            QInputMethodEvent input;
            input.setCommitString(QStringLiteral("7１a.8"));
            QApplication::sendEvent(edit, &input);
            QCOMPARE(edit->text(), QStringLiteral("7.8"));
        }
        f.showLoggedIn();
        f.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.form->periodEdit->setFocus();
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QApplication::sendEvent(f.form->periodEdit, &tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != f.form->periodEdit);
    }

    void toolbarCommands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("permission");
        QTest::addColumn<QString>("dialog"); // none: refused
        QTest::addColumn<bool>("stopsMonitoring");
        QTest::addColumn<bool>("serialSettings");
        QTest::newRow("device, super administrator")
            << "devicesButton" << QStringLiteral("超级管理员") << "设备管理/监控系统" << true << true;
        QTest::newRow("alarms, administrator")
            << "alarmsButton" << QStringLiteral("管理员") << "告警记录" << true << false;
        QTest::newRow("device, ordinary user")
            << "devicesButton" << QStringLiteral("普通用户") << "" << false << false;
        QTest::newRow("alarms, ordinary user")
            << "alarmsButton" << QStringLiteral("普通用户") << "" << false << false;
        QTest::newRow("user management")
            << "usersButton" << QStringLiteral("管理员") << "用户管理" << false << false;
        QTest::newRow("change password")
            << "usersButton" << QStringLiteral("普通用户") << "Form4" << false << false;
    }

    // Device and alarm dialogs stop monitoring while they are open; only the device
    // dialog unlocks the serial settings. An ordinary user gets neither dialog.
    void toolbarCommands()
    {
        QFETCH(QString, button);
        QFETCH(QString, permission);
        QFETCH(QString, dialog);
        QFETCH(bool, stopsMonitoring);
        QFETCH(bool, serialSettings);
        MainWindowFixture f;
        MainWindow& form = *f.form;
        form.station.session.LoggedInPermission = permission;
        form.usersButton->setText(dialog == QStringLiteral("Form4") ? QStringLiteral("修改密码")
                                                                             : QStringLiteral("用户管理"));
        form.station.startPolling(2000, 0);
        form.monitorButton->setText(QStringLiteral("关闭监控"));
        form.setStatusText(StatusPanel::kMonitoring, QStringLiteral("已经启动监控"));
        form.serialButton->setEnabled(false);
        form.periodEdit->setEnabled(false);
        QString opened;
        whenModalOpens([&](QDialog* shown) {
            opened = !shown ? QString() : shown->windowTitle();
            if (shown == form.deviceDialog) // the device dialog is told who opened it
                opened += QLatin1Char('/') + form.deviceDialog->DialogKind;
        });
        QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
        QCoreApplication::processEvents(); // runs the check when no dialog opened
        QCOMPARE(opened, dialog);
        QCOMPARE(MessageBox::takeShown(),
                 dialog.isEmpty() ? QStringList{QStringLiteral("用户权限不够")} : QStringList());
        QCOMPARE(form.station.polling(), !stopsMonitoring);
        QCOMPARE(QStringList({form.monitorButton->text(), form.statusText(StatusPanel::kMonitoring)}),
                 stopsMonitoring ? QStringList({QStringLiteral("启动监控"), QStringLiteral("未启动监控")})
                                 : QStringList({QStringLiteral("关闭监控"), QStringLiteral("已经启动监控")}));
        QCOMPARE(form.serialButton->isEnabled(), serialSettings);
        QCOMPARE(form.periodEdit->isEnabled(), stopsMonitoring); // open whenever monitoring is not running
    }

    void freshWindowLegendTimersAndAlarmLog()
    {
        MainWindowFixture f;
        QVERIFY(f.form->normalSwatch->styleSheet().contains(Cards::colour(CardState::Normal).name()));
        QVERIFY(f.form->alarmSwatch->styleSheet().contains(Cards::colour(CardState::Alarm).name()));
        QVERIFY(f.form->commLossSwatch->styleSheet().contains(Cards::colour(CardState::CommLoss).name()));
        QVERIFY(!f.station.polling() && f.form->countdownTimer->isActive()); // polling waits for the operator

        // The alarm log shows the oldest alarm first and cannot be edited.
        f.db.exec(QStringLiteral("INSERT INTO alarm_record VALUES ('2026-02-01 10:00:00', 'later'), "
                                 "('2026-01-01 10:00:00', 'earlier')"));
        f.form->reloadAlarmLog();
        QAbstractItemModel* model = f.form->alarmLogGrid->model();
        QStringList cells{model->headerData(0, Qt::Horizontal).toString(),
                          model->headerData(1, Qt::Horizontal).toString()};
        for (int row = 0; row < model->rowCount(); ++row)
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->index(row, column).data().toString();
        QCOMPARE(cells.join(u'|'),
                 QStringLiteral("告警时间|告警纪录|2026-01-01 10:00:00|earlier|2026-02-01 10:00:00|later"));
        QCOMPARE(f.form->alarmLogGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    // The older alarm picked in the list, then all, acknowledged by the user
    // logged in: the list, the count and the marks of the overview's cards follow.
    void acknowledgeThroughActiveList()
    {
        MainWindowFixture f;
        f.db.exec("INSERT INTO node_record (device_id, device_name, node_name) VALUES (1, 'K1', 'a'), "
                  "(2, 'K2', 'b'), (3, 'K3', 'c')");
        f.db.exec(
            "INSERT INTO alarm_state VALUES (1, 'a', 'active_unacknowledged', '2026-06-01 08:00:00', 'A'), "
            "(3, 'c', 'active_acknowledged', '2026-06-01 08:30:00', 'C'), "
            "(2, '', 'returned_unacknowledged', '2026-06-01 09:00:00', 'B'), "
            "(4, 'd', 'active_unacknowledged', '2026-06-01 07:00:00', 'D')");
        f.station.session.LoggedInUser = "op";
        f.showLoggedIn();
        MainWindow& form = *f.form;
        form.deviceTree->setCurrentItem(form.deviceTree->topLevelItem(0));
        form.selectClickedItem();
        QSignalSpy count(&form, &MainWindow::unacknowledgedAlarmsChanged);
        const auto shown = [&form]() {
            QStringList lines{"marked:"};
            for (int card = 1; card <= form.panel().CardCount; ++card) {
                if (form.panel().CardMarks[card - 1])
                    lines.first() += QString::number(card);
            }
            QAbstractItemModel* model = form.activeAlarms->activeAlarmGrid->model();
            for (int row = 0; row < model->rowCount(); ++row)
                lines << model->index(row, 1).data().toString() + model->index(row, 2).data().toString();
            return lines.join(' ');
        };
        QCOMPARE(shown(), "marked:12 恢复未确认B 告警已确认C 告警未确认A 告警未确认D");
        QTableView* grid = form.activeAlarms->activeAlarmGrid;
        const auto press = [&f](QPushButton* button) {
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(f.settle());
            QCoreApplication::processEvents();
        };
        press(form.activeAlarms->acknowledgeButton); // nothing picked: nothing acknowledged
        grid->scrollToBottom();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(2, 0)).center());
        // A new alarm and one gone, taken in as deleted equipment is: on top and in view, A still picked.
        f.db.exec(
            "INSERT INTO alarm_state VALUES (5, 'e', 'active_unacknowledged', '2026-06-01 10:00:00', 'E')");
        f.db.exec("DELETE FROM alarm_state WHERE device_id = 3");
        emit form.deviceDialog->nodesRemoved(6, {});
        QVERIFY(f.settle());
        QCoreApplication::processEvents();
        QCOMPARE(grid->rowAt(0), 0);
        // Twice: the pick stays on A when the list is read again.
        for (int click = 0; click < 2; ++click)
            press(form.activeAlarms->acknowledgeButton);
        QCOMPARE(shown(), "marked:2 告警未确认E 恢复未确认B 告警已确认A 告警未确认D");
        // A desktop notice's acknowledge action is the same request.
        emit form.alarmAlert->acknowledgeRequested({{4, "d"}, "2026-06-01 07:00:00"});
        QVERIFY(f.settle());
        f.db.exec("DELETE FROM alarm_state WHERE device_id = 5");
        press(form.activeAlarms->acknowledgeAllButton);
        QCOMPARE(shown(), "marked: 告警已确认A 告警已确认D");
        QCOMPARE(tableText(f.db, "device_id||node_name||':'||state||'/'||user_name", "alarm_event"),
                 "1a:active_acknowledged/op 4d:active_acknowledged/op 2:normal/op");
        QCOMPARE(count.count(), 4);
        QCOMPARE(form.unacknowledgedAlarms(), 0);
        QCOMPARE(tableText(f.db, "用户名||操作||详情", "operation_log WHERE 操作 = '确认告警'"),
                 "op确认告警A op确认告警D op确认告警B");
    }

    // A device falling silent on the station's thread reaches the sound; after
    // 消音 another device's loss sounds again.
    void alarmOnStationThreadSounds()
    {
        MainWindowFixture f;
        for (const char* device : {"1", "2"})
            f.db.exec(QString("INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                              "node_reg_add, con_data_type, node_alarm_type) VALUES (%1, 'K%1', 'a', 3, 11, "
                              "'开关量', '0000(正常)/FFFF(异常)')")
                          .arg(device));
        f.showLoggedIn();
        f.form->setBus(&f.bus);
        f.form->deviceTree->setCurrentItem(f.form->deviceTree->topLevelItem(0));
        f.form->selectClickedItem();
        f.station.openPollScope();
        const AlarmSound& sound = f.form->alarmAlert->sound();
        const auto stepUntil = [&](bool playing) {
            for (int step = 0; step < 8 && sound.isPlaying() != playing; ++step) {
                if (!f.step())
                    return false;
                QCoreApplication::processEvents();
            }
            return sound.isPlaying() == playing && f.form->silenceButton->isEnabled() == playing;
        };
        f.bus.answer(1, 0);
        f.bus.answer(2, 0);
        QVERIFY(!stepUntil(true));
        f.bus.silence(1);
        QVERIFY(stepUntil(true));
        QTest::mouseClick(f.form->silenceButton, Qt::LeftButton);
        QVERIFY(!sound.isPlaying());
        f.bus.silence(2);
        QVERIFY(stepUntil(true));
        // No sound server here: the window says so.
        QTRY_VERIFY_WITH_TIMEOUT(f.form->soundFaultLabel->isVisible(), 10000);
        QCOMPARE(f.form->soundFaultLabel->text(), "报警声无法播放：\n没有可用的声卡");
    }

    // A read in mid-pass gives its device's card, and no other, its counts at
    // once, though the card is refreshed alone.
    void cardTipFollowsEachRead()
    {
        MainWindowFixture f;
        for (const int device : {3, 5, 7})
            f.db.exec(QString("INSERT INTO node_record (device_id, device_name, node_name, node_code, "
                              "node_reg_add, con_data_type) VALUES (%1, 'K%1', 'a', 3, 11, '模拟量')")
                          .arg(device));
        f.showLoggedIn();
        f.form->setBus(&f.bus);
        f.form->deviceTree->setCurrentItem(f.form->deviceTree->topLevelItem(0));
        f.form->selectClickedItem();
        QVERIFY(f.step() && f.step());
        QStringList tips;
        for (int card = 0; card < 3; ++card)
            tips << f.form->panel().CardHeaders[card]->toolTip().section(u'，', 0, 0);
        QCOMPARE(tips, (QStringList{"请求 1", "请求 1", ""}));
    }

    // mqtt.conf that cannot be used says why in the MQTT panel; without the file there is no panel.
    void mqttSettingsProblemShown()
    {
        QTemporaryDir home;
        QFile file(home.filePath(QStringLiteral("spdmon/mqtt.conf")));
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("spdmon")) && file.open(QIODevice::WriteOnly) &&
                file.write("host=b\nhots=c\n") > 0 && file.flush());
        const QByteArray before = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        const auto panel = []() {
            const MainWindowFixture f;
            const auto* label = f.form->findChild<QLabel*>("MqttHint");
            return label ? label->text() : QString();
        };
        QCOMPARE(panel(), "MQTT: " + file.fileName() + " line 2: unknown key: hots");
        QVERIFY(file.remove());
        QCOMPARE(panel(), QString());
        qputenv("XDG_CONFIG_HOME", before);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
