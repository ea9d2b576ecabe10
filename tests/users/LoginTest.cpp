#include "MainWindowFixture.h"

#include "users/TForm2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class LoginTest final : public QObject
{
    Q_OBJECT
private slots:
    void blankOrWrongInputStaysOnMessageLine_data();
    void blankOrWrongInputStaysOnMessageLine();
    void trimmedNameLogsInAndAppliesSettings();
    void permissionChoosesFirstCommand_data();
    void permissionChoosesFirstCommand();
    void emptySettingsTableGivesDefaults();
    void nodeReadPeriodOutOfRangeBecomes1000_data();
    void nodeReadPeriodOutOfRangeBecomes1000();
    void closeBoxWithoutLoginAppliesThenEnds();
    void cancelEndsWithoutApplying();
    void formShowRunsLoginThenTreeAndAlarmLog();
};

void LoginTest::blankOrWrongInputStaysOnMessageLine_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty name") << ""
                                << "pw"
                                << "用户名不能为空！"
                                << "Edit1";
    QTest::newRow("blank name") << " \t "
                                << "pw"
                                << "用户名不能为空！"
                                << "Edit1";
    QTest::newRow("empty password") << "admin"
                                    << ""
                                    << "密码不能为空！"
                                    << "Edit2";
    QTest::newRow("blank password") << "admin"
                                    << "   "
                                    << "密码不能为空！"
                                    << "Edit2";
    QTest::newRow("wrong password") << "admin"
                                    << "nope"
                                    << "用户或密码错误！"
                                    << "";
    QTest::newRow("unknown user") << "ghost"
                                  << "secret"
                                  << "用户或密码错误！"
                                  << "";
}

void LoginTest::blankOrWrongInputStaysOnMessageLine()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("admin"), QStringLiteral("secret"), QStringLiteral("管理员"));
    TForm2* login = f.form->Form2;
    login->show();
    QVERIFY(QTest::qWaitForWindowExposed(login));
    QCOMPARE(login->StaticText3->text(), QString()); // emptied when shown
    login->Edit1->setText(user);
    login->Edit2->setText(password);
    login->Button1Click();
    QCOMPARE(login->StaticText3->text(), message);
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QVERIFY(login->isVisible());
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(f.form->state.LoggedInUser.isEmpty());
    QVERIFY(!login->quitRequested());
}

void LoginTest::trimmedNameLogsInAndAppliesSettings()
{
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("admin"), QStringLiteral("secret"), QStringLiteral("管理员"));
    f.db.addSettings(QStringLiteral("  防雷监控  "), 30, 500);
    TForm2* login = f.form->Form2;
    login->Edit1->setText(QStringLiteral("  admin "));
    login->Edit2->setText(QStringLiteral(" secret"));
    login->Button1Click();
    const MainState& s = f.form->state;
    QCOMPARE(s.LoggedInUser, QStringLiteral("admin"));
    QCOMPARE(s.LoggedInPassword, QStringLiteral("secret"));
    QCOMPARE(s.LoggedInPermission, QStringLiteral("管理员"));
    QCOMPARE(f.form->statusText(0), QStringLiteral("管理员:admin"));
    QCOMPARE(s.SoftwareName, QStringLiteral("防雷监控"));
    QCOMPARE(f.form->windowTitle(), QStringLiteral("防雷监控"));
    QCOMPARE(s.ComNum, 3);
    QCOMPARE(s.ComBaud, 9600);
    QCOMPARE(s.ComDataBit, 8);
    QCOMPARE(s.ComStopBit, 1);
    QCOMPARE(s.ComParity, QStringLiteral("n"));
    QCOMPARE(s.PortState, QStringLiteral("关闭"));
    QCOMPARE(f.form->statusText(1), QStringLiteral("串口未打开"));
    QCOMPARE(f.form->statusText(2), QStringLiteral("未启动监控"));
    QCOMPARE(f.form->statusText(3), QString());
    QCOMPARE(f.form->Edit1->text(), QStringLiteral("30"));
    QCOMPARE(f.form->Edit2->text(), QStringLiteral("500"));
    QVERIFY(!login->quitRequested());
    QCOMPARE(login->result(), int(QDialog::Accepted));
}

void LoginTest::permissionChoosesFirstCommand_data()
{
    QTest::addColumn<QString>("permission");
    QTest::addColumn<QString>("caption");
    QTest::newRow("administrator") << "管理员"
                                   << "用户管理";
    QTest::newRow("super administrator") << "超级管理员"
                                         << "用户管理";
    QTest::newRow("ordinary user") << "普通用户"
                                   << "修改密码";
    QTest::newRow("other text") << "guest"
                                << "修改密码";
}

void LoginTest::permissionChoosesFirstCommand()
{
    QFETCH(QString, permission);
    QFETCH(QString, caption);
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral(" ") + permission);
    f.db.addSettings(QStringLiteral("T"), 5, 1000);
    f.form->Form2->Edit1->setText(QStringLiteral("u"));
    f.form->Form2->Edit2->setText(QStringLiteral("p"));
    f.form->Form2->Button1Click();
    QCOMPARE(f.form->BitBtn1->text(), caption);
    QCOMPARE(f.form->state.LoggedInPermission, permission);
}

void LoginTest::emptySettingsTableGivesDefaults()
{
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("普通用户"));
    f.form->Form2->Edit1->setText(QStringLiteral("u"));
    f.form->Form2->Edit2->setText(QStringLiteral("p"));
    f.form->Form2->Button1Click();
    QCOMPARE(f.form->windowTitle(), QStringLiteral("监控软件"));
    QCOMPARE(f.form->state.PortState, QStringLiteral("关闭"));
    QCOMPARE(f.form->state.ComNum, 0);
    QCOMPARE(f.form->Edit1->text(), QStringLiteral("0"));
    QCOMPARE(f.form->Edit2->text(), QStringLiteral("1000"));
    QCOMPARE(f.db.count(QStringLiteral("soft_record")), 0);
}

void LoginTest::nodeReadPeriodOutOfRangeBecomes1000_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("50") << 50 << 1000;
    QTest::newRow("99") << 99 << 1000;
    QTest::newRow("100") << 100 << 100;
    QTest::newRow("10000") << 10000 << 10000;
    QTest::newRow("10001") << 10001 << 1000;
    QTest::newRow("20000") << 20000 << 1000;
    QTest::newRow("negative") << -5 << 1000;
}

void LoginTest::nodeReadPeriodOutOfRangeBecomes1000()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("管理员"));
    f.db.addSettings(QStringLiteral("T"), 7, stored);
    f.form->Form2->Edit1->setText(QStringLiteral("u"));
    f.form->Form2->Edit2->setText(QStringLiteral("p"));
    f.form->Form2->Button1Click();
    QCOMPARE(f.form->Edit2->text(), QString::number(shown));
    QCOMPARE(f.form->state.NodeReadPeriod, shown);
    // Only the value in memory changes; the table keeps what it had.
    Query q(f.db.connection());
    q.setSql(QStringLiteral("select * from soft_record"));
    q.open();
    QCOMPARE(q.fieldInt(QStringLiteral("node_read_time")), stored);
}

void LoginTest::closeBoxWithoutLoginAppliesThenEnds()
{
    MainWindowFixture f;
    f.db.addSettings(QStringLiteral("T"), 9, 300);
    TForm2* login = f.form->Form2;
    login->show();
    QVERIFY(QTest::qWaitForWindowExposed(login));
    login->close();
    QVERIFY(login->quitRequested());
    QVERIFY(!login->isVisible());
    QCOMPARE(f.form->windowTitle(), QStringLiteral("T"));
    QCOMPARE(f.form->Edit1->text(), QStringLiteral("9"));
}

void LoginTest::cancelEndsWithoutApplying()
{
    MainWindowFixture f;
    f.db.addSettings(QStringLiteral("T"), 9, 300);
    f.form->Form2->Button2Click();
    QVERIFY(f.form->Form2->quitRequested());
    QCOMPARE(f.form->Edit1->text(), QStringLiteral("Edit1"));
    QVERIFY(f.form->windowTitle() != QStringLiteral("T"));
}

void LoginTest::formShowRunsLoginThenTreeAndAlarmLog()
{
    // Cancelled: the main window takes no input and the program is ending.
    {
        MainWindowFixture f;
        QTimer::singleShot(0, [&f]() { f.form->Form2->Button2->click(); });
        f.form->FormShow();
        QVERIFY(f.form->exitRequested());
        QVERIFY(!f.form->isEnabled());
        QVERIFY(f.form->Form2 == nullptr);
    }
    // Logged in through the dialog's own button.
    MainWindowFixture f;
    f.db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("管理员"));
    f.db.exec(QStringLiteral("INSERT INTO alarm_record VALUES ('2026-01-01 00:00:01', 'r')"));
    QTimer::singleShot(0, [&f]() {
        TForm2* login = f.form->Form2;
        QTest::keyClicks(login->Edit1, QStringLiteral("u"));
        QTest::keyClicks(login->Edit2, QStringLiteral("p"));
        QTest::mouseClick(login->Button1, Qt::LeftButton);
    });
    f.form->FormShow();
    QVERIFY(!f.form->exitRequested());
    QVERIFY(f.form->isEnabled());
    QCOMPARE(f.form->state.LoggedInUser, QStringLiteral("u"));
    QCOMPARE(f.form->StaticText3->text(), QString());
    QCOMPARE(f.form->DBGrid1->model()->rowCount(), 1);
}

QTEST_MAIN(LoginTest)
#include "LoginTest.moc"
