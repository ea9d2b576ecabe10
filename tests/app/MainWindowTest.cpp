#include "MainWindowFixture.h"

#include "app/WindowSize.h"
#include "device/TForm5.h"
#include "store/Query.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class MainWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void resizeByScreenWidth_data();
    void resizeByScreenWidth();
    void designLayoutAndTexts();
    void periodFieldsFilterTypedKeys_data();
    void periodFieldsFilterTypedKeys();
    void ordinaryUserIsRefusedAdministrativeCommands_data();
    void ordinaryUserIsRefusedAdministrativeCommands();
    void deviceCommandStopsMonitoringAndEnablesSerialSettings();
    void alarmCommandStopsMonitoringButLeavesSerialSettingsDisabled();
    void firstToolbarCommandFollowsItsCaption();
    void alarmLogShowsRowsOldestFirst();
};

void MainWindowTest::resizeByScreenWidth_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pane");
    QTest::newRow("1920") << 1920 << 1196 << 747 << 600;
    QTest::newRow("1025") << 1025 << 1196 << 747 << 600;
    QTest::newRow("1024") << 1024 << 1024 << 758 << 590;
    QTest::newRow("801") << 801 << 1024 << 758 << 590;
    QTest::newRow("800") << 800 << 800 << 590 << 420;
    QTest::newRow("601") << 601 << 800 << 590 << 420;
    QTest::newRow("600") << 600 << 1196 << 747 << 600;
    QTest::newRow("320") << 320 << 1196 << 747 << 600;
}

void MainWindowTest::resizeByScreenWidth()
{
    QFETCH(int, screen);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pane);
    MainWindowFixture f(screen);
    QCOMPARE(f.form->size(), QSize(width, height));
    QCOMPARE(f.form->TreeView1->height(), pane);
    QCOMPARE(f.form->findChild<QWidget*>(QStringLiteral("Frame11"))->height(), pane);
    QCOMPARE(f.form->DBGrid1->height(), pane);
    // Positions and widths stay as designed.
    QCOMPARE(f.form->DBGrid1->geometry().topLeft(), QPoint(720, 88));
    QCOMPARE(f.form->DBGrid1->width(), 457);
}

void MainWindowTest::designLayoutAndTexts()
{
    MainWindowFixture f;
    const auto button = [&f](const char* name) {
        return f.form->findChild<QPushButton*>(QLatin1String(name));
    };
    QCOMPARE(button("BitBtn1")->text(), QStringLiteral("用户管理"));
    QCOMPARE(button("BitBtn6")->geometry(), QRect(64, 0, 65, 33));
    QCOMPARE(button("BitBtn4")->geometry(), QRect(320, 0, 70, 33));
    QCOMPARE(button("BitBtn4")->text(), QStringLiteral("启动监控"));
    QCOMPARE(f.form->findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), QStringLiteral("Edit1"));
    QCOMPARE(f.form->findChild<QLineEdit*>(QStringLiteral("Edit2"))->geometry(), QRect(680, 8, 57, 21));
    QCOMPARE(f.form->findChild<QLabel*>(QStringLiteral("StaticText8"))->text(), QStringLiteral("通信异常"));
    QVERIFY(f.form->Shape2->styleSheet().contains(QColor(231, 0, 0).name()));
    QVERIFY(f.form->Shape1->styleSheet().contains(QColor(192, 220, 192).name()));
    QVERIFY(f.form->Shape3->styleSheet().contains(QColor(255, 255, 0).name()));
    QCOMPARE(f.form->statusText(4), QStringLiteral("V1.0"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f.form->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i))->width(), 150);
    QCOMPARE(f.form->findChild<QLabel*>(QStringLiteral("Panel4"))->width(), 50);
    QVERIFY(!f.form->Timer1->isActive());
    QCOMPARE(f.form->Timer1->interval(), 2000);
    QVERIFY(f.form->Timer2->isActive());
    QCOMPARE(f.form->Timer2->interval(), 1000);
}

void MainWindowTest::periodFieldsFilterTypedKeys_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("Edit1 digits") << "Edit1"
                                  << "120"
                                  << "120";
    QTest::newRow("Edit1 letters dropped") << "Edit1"
                                           << "1a2b"
                                           << "12";
    QTest::newRow("Edit2 dot kept") << "Edit2"
                                    << "1.5"
                                    << "1.5";
    QTest::newRow("Edit2 sign and blank dropped") << "Edit2"
                                                  << "-1 0"
                                                  << "10";
}

void MainWindowTest::periodFieldsFilterTypedKeys()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    MainWindowFixture f;
    auto* edit = f.form->findChild<QLineEdit*>(field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), result);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), result.left(result.size() - 1));
}

void MainWindowTest::ordinaryUserIsRefusedAdministrativeCommands_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("device management") << "BitBtn2";
    QTest::newRow("alarm management") << "BitBtn5";
}

void MainWindowTest::ordinaryUserIsRefusedAdministrativeCommands()
{
    QFETCH(QString, button);
    MainWindowFixture f;
    f.form->state.LoggedInPermission = QStringLiteral("普通用户");
    f.form->Timer1->start();
    f.form->BitBtn4->setText(QStringLiteral("关闭监控"));
    f.form->setStatusText(2, QStringLiteral("已经启动监控"));
    QTest::mouseClick(f.form->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("用户权限不够")});
    QVERIFY(f.form->Timer1->isActive());
    QCOMPARE(f.form->BitBtn4->text(), QStringLiteral("关闭监控"));
    QCOMPARE(f.form->statusText(2), QStringLiteral("已经启动监控"));
}

void MainWindowTest::deviceCommandStopsMonitoringAndEnablesSerialSettings()
{
    MainWindowFixture f;
    f.form->state.LoggedInPermission = QStringLiteral("超级管理员");
    f.form->Timer1->start();
    f.form->BitBtn4->setText(QStringLiteral("关闭监控"));
    f.form->BitBtn3->setEnabled(false);
    f.form->Edit1->setEnabled(false);
    QString openedTitle;
    QString kind;
    whenModalOpens([&](QDialog* dialog) {
        openedTitle = dialog ? dialog->windowTitle() : QString();
        kind = f.form->Form5->DialogKind;
    });
    f.form->BitBtn2Click();
    QCOMPARE(openedTitle, QStringLiteral("设备管理"));
    QCOMPARE(kind, QStringLiteral("监控系统"));
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!f.form->Timer1->isActive());
    QCOMPARE(f.form->statusText(2), QStringLiteral("未启动监控"));
    QCOMPARE(f.form->BitBtn4->text(), QStringLiteral("启动监控"));
    QVERIFY(f.form->BitBtn3->isEnabled());
    QVERIFY(!f.form->Edit1->isEnabled());
}

void MainWindowTest::alarmCommandStopsMonitoringButLeavesSerialSettingsDisabled()
{
    MainWindowFixture f;
    f.form->state.LoggedInPermission = QStringLiteral("管理员");
    f.form->Timer1->start();
    f.form->BitBtn4->setText(QStringLiteral("关闭监控"));
    f.form->BitBtn3->setEnabled(false);
    f.form->Edit1->setEnabled(false);
    QString openedTitle;
    whenModalOpens([&](QDialog* dialog) { openedTitle = dialog ? dialog->windowTitle() : QString(); });
    f.form->BitBtn5Click();
    QCOMPARE(openedTitle, QStringLiteral("告警记录"));
    QVERIFY(!f.form->Timer1->isActive());
    QCOMPARE(f.form->BitBtn4->text(), QStringLiteral("启动监控"));
    QVERIFY(!f.form->BitBtn3->isEnabled());
    QVERIFY(!f.form->Edit1->isEnabled());
}

void MainWindowTest::firstToolbarCommandFollowsItsCaption()
{
    MainWindowFixture f;
    QString title;
    whenModalOpens([&](QDialog* dialog) { title = dialog ? dialog->windowTitle() : QString(); });
    f.form->BitBtn1Click();
    QCOMPARE(title, QStringLiteral("用户管理"));
    f.form->BitBtn1->setText(QStringLiteral("修改密码"));
    whenModalOpens([&](QDialog* dialog) { title = dialog ? dialog->windowTitle() : QString(); });
    f.form->BitBtn1Click();
    QCOMPARE(title, QStringLiteral("Form4"));
}

void MainWindowTest::alarmLogShowsRowsOldestFirst()
{
    MainWindowFixture f;
    f.db.exec(QStringLiteral("INSERT INTO alarm_record VALUES ('2026-02-01 10:00:00', 'later')"));
    f.db.exec(QStringLiteral("INSERT INTO alarm_record VALUES ('2026-01-01 10:00:00', 'earlier')"));
    f.form->reloadAlarmLog();
    QAbstractItemModel* model = f.form->DBGrid1->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("告警时间"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("告警纪录"));
    QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("earlier"));
    QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("2026-02-01 10:00:00"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(f.form->DBGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
