// The device dialog, opened by the "设备管理" command and driven by field
// names; every case checks the message and node_record's rows.
#include "ModalDriver.h"
#include "TreeItems.h"

#include "app/ActiveAlarmPanel.h"
#include "device/DeviceDialog.h"
#include "display/DataPanel.h"
#include "store/Clock.h"

#include <QDateTimeEdit>
#include <QSignalSpy>
#include <QWindow>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
const QDateTime kNow(QDate(2026, 3, 4), QTime(5, 6, 7));

// Device 3's rows as rows() reads them: name|code|register|type|lower|upper|alarm type|device|installed.
const QString kDevice3 = u"浪涌保护器|3|9|开关量|65535|65535|0000(正常)/FFFF(异常)|KPV3|2020-01-02 03:04:05;"
                         "浪涌次数|3|5|模拟量|0|65535|0000(正常)/FFFF(异常)|KPV3|2020-01-02 03:04:05;"
                         "设备状态|3|11|开关量|0|65535|0000(正常)/FFFF(异常)|KPV3|2020-01-02 03:04:05"_s;
// 浪涌次数 after a save that changed nothing: an analogue node's alarm type is written empty.
const QString kSaved = u"浪涌次数|3|5|模拟量|0|65535||KPV3|2020-01-02 03:04:05"_s;

QString changed(const QString& from, const QString& to)
{
    return QString(kDevice3).replace(from, to);
}

// Types text key by key over a field's whole text; an offered completion is
// not taken. Returns what the field then holds.
QString type(QDialog& dialog, const char* name, const QString& text)
{
    QWidget* w = child(dialog, name);
    auto* combo = qobject_cast<QComboBox*>(w);
    QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(w);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    if (edit->hasSelectedText())
        QTest::keyClick(edit, Qt::Key_Delete);
    return edit->text();
}

// A mouse click on the root, a device item or one of its nodes.
void pick(QDialog& dialog, const QString& path = {})
{
    clickItem(child<QTreeWidget>(dialog, "deviceTree"), path);
}

struct DeviceFixture : MainWindowFixture
{
    DeviceFixture()
    {
        for (const QString& row :
             (kDevice3 + u";设备状态|3|11|开关量|0|65535|0000(正常)/FFFF(异常)|KPV4|"_s).split(u';')) {
            const QStringList v = row.split(u'|');
            db.exec(u"INSERT INTO node_record (device_id, node_name, node_code, node_reg_add, con_data_type, "
                    "node_data_lower, node_data_upper, node_alarm_type, device_name, install_date) VALUES "
                    "(%1, '%2', %3, %4, '%5', %6, %7, '%8', '%9', '%10')"_s.arg(v[7].mid(3))
                        .arg(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]));
        }
        Clock::setFixed(kNow);
        form->station.session.LoggedInPermission = u"管理员"_s;
        showLoggedIn();
    }
    ~DeviceFixture() { Clock::setFixed(QDateTime()); }

    // Opens the dialog by the toolbar command, runs steps in it and leaves it
    // by Exit or by the close box.
    void inDialog(const std::function<void(DeviceDialog&)>& steps, bool closeBox = false)
    {
        bool opened = false;
        QTimer::singleShot(0, [&]() {
            auto* dialog = qobject_cast<DeviceDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            opened = true;
            steps(*dialog);
            if (closeBox)
                dialog->windowHandle()->close();
            else
                press(*dialog, "exitButton");
        });
        QTest::mouseClick(form->devicesButton, Qt::LeftButton);
        QVERIFY(opened);
    }

    QString rows(int device)
    {
        const QString row = u"node_name||'|'||node_code||'|'||node_reg_add||'|'||con_data_type||'|'||"
                            "ifnull(node_data_lower,'')||'|'||ifnull(node_data_upper,'')||'|'||"
                            "node_alarm_type||'|'||device_name||'|'||ifnull(install_date,'')"_s;
        const QString sql = u"SELECT group_concat(%1, ';') FROM (SELECT * FROM node_record WHERE "
                            "device_id=%2 ORDER BY node_name)"_s;
        return db.column(sql.arg(row).arg(device)).value(0, u"?"_s);
    }
};
} // namespace

class DeviceDialogTest final : public QObject
{
    Q_OBJECT
private slots:
    void openAddAndClose_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box") << true;
    }

    // The main tree shows what the dialog changed, however it was left.
    void openAddAndClose()
    {
        QFETCH(bool, closeBox);
        DeviceFixture f;
        f.inDialog(
            [&](DeviceDialog& d) {
                QVERIFY(child(d, "deviceGroupBox")->isVisible() && !child(d, "nodeGroupBox")->isVisible() &&
                        !child(d, "saveButton")->isEnabled() && !child(d, "deleteButton")->isEnabled());
                QCOMPARE(treeText(child<QTreeWidget>(d, "deviceTree")->topLevelItem(0)),
                         u"监控系统(KPV3[地址:3](浪涌保护器,浪涌次数,设备状态),KPV4[地址:4](设备状态))"_s);
                QCOMPARE(type(d, "nodeAddressEdit", u"-1a ,2.5"_s), u"12.5"_s); // digits and "." only
                press(d, "addButton");
                type(d, "addressEdit", u"a5"_s);
                type(d, "deviceNameEdit", u"A "_s);
                child<QComboBox>(d, "deviceTypeCombo")->setCurrentIndex(0);
                press(d, "saveButton");
                QCOMPARE(MessageBox::takeShown(), QStringList{u"设备添加成功"_s});
                const QString added = changed(u"KPV3|2020-01-02 03:04:05"_s, u"A|2026-03-04 05:06:07"_s);
                QCOMPARE(f.rows(5), added);
                press(d, "saveButton"); // the fields stay for the next add
                QCOMPARE(MessageBox::takeShown(), QStringList{u"设备地址已经存在,请重新填写"_s});
                QCOMPARE(f.rows(5), added);
            },
            closeBox);
        QCOMPARE(treeText(f.form->deviceTree->topLevelItem(0)),
                 u"监控系统(KPV3[地址:3](浪涌保护器,浪涌次数,设备状态),KPV4[地址:4](设备状态),"
                 "A[地址:5](浪涌保护器,浪涌次数,设备状态))"_s);
        f.inDialog([](DeviceDialog& d) {
            QCOMPARE(child<QComboBox>(d, "deviceTypeCombo")->currentText(), u"KPV"_s);
        });
    }

    void addChecks_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("added"); // address of the three new rows, 0 for none
        const QString ok = u"设备添加成功"_s, range = u"设备地址错误!范围:1~247"_s,
                      tooLong = u"设备名称太长"_s, taken = u"设备地址已经存在,请重新填写"_s;
        QTest::newRow("address 0") << u"0"_s << u"A"_s << range << u"addressEdit"_s << 0;
        QTest::newRow("address 248") << u"248"_s << u"A"_s << range << u"addressEdit"_s << 0;
        QTest::newRow("address 1.5") << u"1.5"_s << u"A"_s << u"'1.5' is not a valid integer value"_s
                                     << QString() << 0;
        QTest::newRow("address 1") << u"1"_s << u"A"_s << ok << QString() << 1;
        QTest::newRow("address 247") << u"247"_s << u"A"_s << ok << QString() << 247;
        QTest::newRow("address taken, in hex") << u"$3"_s << u"A"_s << taken << u"addressEdit"_s << 0;
        QTest::newRow("address of a one-node device") << u"4"_s << u"A"_s << taken << u"addressEdit"_s << 0;
        QTest::newRow("blank name") << u"9"_s << u"   "_s << u"设备名称不能为空"_s << u"deviceNameEdit"_s
                                    << 0;
        QTest::newRow("10 Chinese") << u"9"_s << u"一二三四五六七八九十"_s << ok << QString() << 9;
        QTest::newRow("11 Chinese") << u"9"_s << u"一二三四五六七八九十一"_s << tooLong << u"deviceNameEdit"_s
                                    << 0;
        QTest::newRow("20 ASCII") << u"9"_s << u"abcdefghijklmnopqrst"_s << ok << QString() << 9;
        QTest::newRow("21 ASCII") << u"9"_s << u"abcdefghijklmnopqrstu"_s << tooLong << u"deviceNameEdit"_s
                                  << 0;
        QTest::newRow("no type") << u"9"_s << u"A"_s << u"请选择设备类型"_s << u"deviceTypeCombo"_s << 0;
    }

    void addChecks()
    {
        QFETCH(QString, name);
        QFETCH(QString, focus);
        QFETCH(int, added);
        DeviceFixture f;
        f.inDialog([&](DeviceDialog& d) {
            press(d, "addButton");
            QFETCH(QString, address);
            child<QLineEdit>(d, "addressEdit")->setText(address); // pasted: the key filter does not see it
            type(d, "deviceNameEdit", name);
            if (focus != u"deviceTypeCombo"_s) // the type is left unchosen there
                child<QComboBox>(d, "deviceTypeCombo")->setCurrentIndex(0);
            press(d, "saveButton");
            QTEST(MessageBox::takeShown().join(u'\n'), "message");
            if (!focus.isEmpty())
                QCOMPARE(d.focusWidget(), child(d, qPrintable(focus)));
        });
        QCOMPARE(f.db.count(u"node_record"_s), added ? 7 : 4);
        if (added)
            QCOMPARE(f.rows(added).count(u'|' + name + u'|'), 3);
        QCOMPARE(f.rows(3), kDevice3);
    }

    void saveDevice()
    {
        DeviceFixture f;
        f.inDialog([&](DeviceDialog& d) {
            pick(d, u"KPV3[地址:3]"_s);
            QVERIFY(!child(d, "addressEdit")->isEnabled() && !child(d, "deviceTypeCombo")->isVisible());
            QCOMPARE(child<QLineEdit>(d, "addressEdit")->text() +
                         child<QLineEdit>(d, "deviceNameEdit")->text(),
                     u"3KPV3"_s);
            QCOMPARE(child<QDateTimeEdit>(d, "installDateEdit")->dateTime(),
                     QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
            type(d, "deviceNameEdit", u" 新名 "_s);
            child<QDateTimeEdit>(d, "installDateEdit")->setDateTime(kNow);
            press(d, "saveButton");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"修改成功"_s});
            const QString saved = changed(u"KPV3|2020-01-02 03:04:05"_s, u"新名|2026-03-04 05:06:07"_s);
            QCOMPARE(f.rows(3), saved);
            QCOMPARE(treeText(child<QTreeWidget>(d, "deviceTree")->topLevelItem(0)),
                     u"监控系统(新名[地址:3](浪涌保护器,浪涌次数,设备状态),KPV4[地址:4](设备状态))"_s);

            // Nothing is picked now, though the fields still show the device.
            type(d, "deviceNameEdit", u"X"_s);
            press(d, "saveButton");
            press(d, "deleteButton");
            QCOMPARE(MessageBox::takeShown(), (QStringList{u"未选中设备"_s, u"未选中设备"_s}));
            QCOMPARE(f.rows(3), saved);

            // A pick that fails leaves nothing to save or delete, not the device before.
            pick(d, u"新名[地址:3]"_s);
            f.db.exec(u"ALTER TABLE node_record RENAME TO kept"_s);
            pick(d, u"KPV4[地址:4]"_s);
            f.db.exec(u"ALTER TABLE kept RENAME TO node_record"_s);
            QCOMPARE(MessageBox::takeShown().size(), 1);
            QVERIFY(!child(d, "saveButton")->isEnabled() && !child(d, "deleteButton")->isEnabled());

            pick(d);
            QVERIFY(!child(d, "nodeGroupBox")->isVisible() && !child(d, "deviceGroupBox")->isVisible() &&
                    !child(d, "saveButton")->isEnabled() && !child(d, "deleteButton")->isEnabled());
        });
        QCOMPARE(f.rows(4), u"设备状态|3|11|开关量|0|65535|0000(正常)/FFFF(异常)|KPV4|"_s);
    }

    // Saved under another address (not offered for a picked device today):
    // the old address's alarms end by the user, and its nodes and the device
    // are gone from there as after a deletion.
    void moveEndsAlarms()
    {
        DeviceFixture f;
        f.db.exec(u"INSERT INTO alarm_state VALUES (3, '', 'active_unacknowledged', '2026-01-01', 'L')"_s);
        f.form->station.session.LoggedInUser = u"op"_s;
        f.inDialog([&](DeviceDialog& d) {
            QSignalSpy removed(&d, &DeviceDialog::deviceRemoved);
            pick(d, u"KPV3[地址:3]"_s);
            child(d, "addressEdit")->setEnabled(true);
            type(d, "addressEdit", u"8"_s);
            press(d, "saveButton");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"修改成功"_s});
            QCOMPARE(QList<QVariantList>(removed), QList<QVariantList>{{3}});
        });
        QCOMPARE(f.rows(8).count(u"|KPV3|"_s), 3);
        QCOMPARE(tableText(f.db, u"device_id||':'||state||'/'||user_name"_s, u"alarm_event"_s),
                 u"3:normal/op"_s);
        QCOMPARE(f.db.count(u"alarm_state"_s), 0);
    }

    void saveNode_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("name"); // the field typed into, which a refusal focuses
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("rows");
        const auto row = [](const char* tag, const char* field, const QString& text, const QString& message,
                            const QString& rows = kDevice3, const QString& node = u"浪涌次数"_s) {
            QTest::newRow(tag) << node << QString::fromLatin1(field) << text << message << rows;
        };
        const QString ok = u"节点修改成功"_s, analogue = kDevice3.section(u';', 1, 1);
        const auto saved = [&](const QString& from, const QString& to) {
            return changed(analogue, QString(kSaved).replace(from, to));
        };
        // Letters and "-" typed into the numeric fields are dropped.
        row("code 5", "functionCodeCombo", u"5a"_s, u"节名代码错误"_s);
        row("code 2", "functionCodeCombo", u"2"_s, u"节名代码错误"_s);
        row("code 4", "functionCodeCombo", u"4"_s, ok, saved(u"|3|5|"_s, u"|4|5|"_s));
        row("register 257", "registerEdit", u"257"_s, u"节名地址错误"_s);
        row("register 99999999999", "registerEdit", u"99999999999"_s, u"节名地址错误"_s);
        row("pasted register -1", "registerEdit", u"-1"_s, u"节名地址错误"_s);
        row("register 256", "registerEdit", u"2a56"_s, ok, saved(u"|5|"_s, u"|256|"_s));
        row("no node name", "nodeNameEdit", u""_s, u"节名名称不能为空"_s);
        row("data type 开关", "dataTypeCombo", u"开关"_s, u"数据类型错误"_s);
        row("no lower limit", "lowerLimitEdit", u"a"_s, u"报警下限不能为空"_s);
        row("no upper limit", "upperLimitEdit", u"a"_s, u"报警上限不能为空"_s);
        row("upper limit", "upperLimitEdit", u"9-9"_s, ok, saved(u"65535"_s, u"99"_s));
        // A limit is a whole number a register holds.
        row("lower limit 1.5", "lowerLimitEdit", u"1.5"_s, u"报警下限错误"_s);
        row("lower limit 99999999999", "lowerLimitEdit", u"99999999999"_s, u"报警下限错误"_s);
        row("upper limit 65536", "upperLimitEdit", u"65536"_s, u"报警上限错误"_s);
        row("name 21 bytes", "nodeDeviceNameEdit", u"abcdefghijklmnopqrstu"_s, u"设备名称太长"_s);
        row("name of one row", "nodeDeviceNameEdit", u"新名"_s, ok, saved(u"KPV3"_s, u"新名"_s));
        // The picked node stays; a new name adds a node.
        row("renamed", "nodeNameEdit", u"浪涌次数2"_s, u"节点添加成功"_s,
            changed(analogue, analogue + u";浪涌次数2|3|5|模拟量|0|65535||KPV3|"_s));
        row("blank after name", "nodeNameEdit", u"浪涌次数 "_s, ok, changed(analogue, kSaved));
        // The data type's change handler offers the first alarm type; the limits stay stored.
        row("made switch", "dataTypeCombo", u"开关量"_s, ok, changed(u"5|模拟量"_s, u"5|开关量"_s));
        row("switch, FFFF normal", "alarmTypeCombo", u"FFFF(正常)/0000(异常)"_s, ok,
            changed(u"11|开关量|0|65535|0000(正常)/FFFF(异常)"_s,
                    u"11|开关量|0|65535|FFFF(正常)/0000(异常)"_s),
            u"设备状态"_s);
        row("switch, 0000", "alarmTypeCombo", u"0000"_s, u"报警类型错误"_s, kDevice3, u"设备状态"_s);
    }

    void saveNode()
    {
        QFETCH(QString, node);
        QFETCH(QString, name);
        QFETCH(QString, message);
        DeviceFixture f;
        f.inDialog([&](DeviceDialog& d) {
            pick(d, u"KPV3[地址:3]/"_s + node);
            QVERIFY(!child(d, "nodeAddressEdit")->isEnabled());
            const bool analogue = node == u"浪涌次数"_s; // limits shown, alarm type hidden
            QCOMPARE(
                std::pair(child(d, "lowerLimitEdit")->isVisible(), child(d, "alarmTypeCombo")->isVisible()),
                std::pair(analogue, !analogue));
            QFETCH(QString, text);
            if (QByteArray(QTest::currentDataTag()).startsWith("pasted")) // the key filter does not see it
                child<QLineEdit>(d, qPrintable(name))->setText(text);
            else
                type(d, name.toLatin1().constData(), text);
            press(d, "saveButton");
            QCOMPARE(MessageBox::takeShown(), QStringList{message});
            if (!message.endsWith(u"成功"_s)) // a check that refuses moves the focus
                QCOMPARE(d.focusWidget(), child(d, qPrintable(name)));
        });
        QTEST(f.rows(3), "rows");
    }

    // Each deletion acts on the highlighted item, by its own address, not the one
    // a name with brackets suggests; the main window's cards follow on closing.
    // The alarms of what is deleted end with it, by the user, and leave the
    // main window's list at once.
    void deletes()
    {
        DeviceFixture f;
        f.db.exec(u"INSERT INTO node_record (device_id, node_name, device_name) VALUES (7, 'a', 'A[3]')"_s);
        f.db.exec(
            u"INSERT INTO alarm_state VALUES (7, 'a', 'active_unacknowledged', '2026-01-01', 'A'), "
            "(3, '浪涌次数', 'active_acknowledged', '2026-01-02', 'S'), (3, '', "
            "'returned_unacknowledged', '2026-01-03', 'L'), (9, '', 'active_unacknowledged', '2026-01-04', 'X')"_s);
        f.form->station.session.LoggedInUser = u"op"_s;
        f.form->station.reloadAlarmStates();
        QVERIFY(f.settle());
        f.inDialog([&](DeviceDialog& d) {
            const auto listed = [&f]() {
                QCoreApplication::processEvents();
                QAbstractItemModel* model = f.form->activeAlarms->activeAlarmGrid->model();
                QString texts;
                for (int row = 0; row < model->rowCount(); ++row)
                    texts += model->index(row, 2).data().toString();
                return texts;
            };
            QCOMPARE(listed(), u"XLSA"_s);
            QSignalSpy removed(&d, &DeviceDialog::nodesRemoved);
            pick(d, u"A[3][地址:7]"_s);
            press(d, "deleteButton");
            QTRY_COMPARE(listed(), u"XLS"_s);
            pick(d, u"KPV3[地址:3]/浪涌次数"_s);
            press(d, "deleteButton");
            QTRY_COMPARE(listed(), u"XL"_s);
            press(d, "deleteButton");
            QCOMPARE(MessageBox::takeShown(),
                     (QStringList{u"设备删除成功"_s, u"节点删除成功"_s, u"请选中设备或者节点再删除"_s}));
            QCOMPARE(f.rows(3), changed(kDevice3.section(u';', 1, 1) + u';', QString()));
            pick(d, u"KPV4[地址:4]"_s);
            QTest::keyClick(child(d, "deviceTree"), Qt::Key_Down);
            press(d, "deleteButton");
            pick(d, u"KPV3[地址:3]"_s);
            press(d, "deleteButton");
            press(d, "deleteButton");
            QCOMPARE(MessageBox::takeShown(),
                     (QStringList{u"节点删除成功"_s, u"设备删除成功"_s, u"请选中设备或者节点再删除"_s}));
            QCOMPARE(treeText(child<QTreeWidget>(d, "deviceTree")->topLevelItem(0)), u"监控系统"_s);
            QCOMPARE(QList<QVariantList>(removed),
                     (QList<QVariantList>{{7, QStringList{u"a"_s}},
                                          {3, QStringList{u"浪涌次数"_s}},
                                          {4, QStringList{u"设备状态"_s}},
                                          {3, QStringList{u"浪涌保护器"_s, u"设备状态"_s}}}));
        });
        QCOMPARE(f.db.count(u"node_record"_s), 0);
        QCOMPARE(tableText(f.db, u"device_id||node_name||':'||state||'/'||user_name||'/'||text"_s,
                           u"alarm_event"_s),
                 u"7a:normal/op/A 3浪涌次数:normal/op/S 3:normal/op/L"_s);
        QTRY_COMPARE(f.form->unacknowledgedAlarms(), 1);
        QCOMPARE(treeText(f.form->deviceTree->topLevelItem(0)), u"监控系统"_s);
        QCOMPARE(f.form->panel().CardCount, 0);
    }
};

QTEST_MAIN(DeviceDialogTest)
#include "DeviceDialogTest.moc"
