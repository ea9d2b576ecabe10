#include "MainWindowFixture.h"

#include <QLabel>
#include <QPushButton>

class LoginTest final : public QObject
{
    Q_OBJECT
private slots:
    void blankOrWrongInputStaysOnMessageLine_data()
    {
        QTest::addColumn<QStringList>("input"); // name, password, message, focus
        QTest::newRow("blank name") << QStringList{" \t ", "pw", "用户名不能为空！", "userEdit"};
        QTest::newRow("blank password") << QStringList{"admin", "   ", "密码不能为空！", "passwordEdit"};
        QTest::newRow("wrong password") << QStringList{"admin", "nope", "用户或密码错误！", ""};
        QTest::newRow("name in capitals") << QStringList{"Admin", "secret", "用户或密码错误！", ""};
    }

    void blankOrWrongInputStaysOnMessageLine()
    {
        QFETCH(QStringList, input);
        MainWindowFixture f;
        f.db.addUser("admin", "secret", "管理员");
        LoginDialog* login = f.form->loginDialog;
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login));
        QCOMPARE(login->hintLabel->text(), QString()); // emptied when shown
        login->userEdit->setText(input[0]);
        login->passwordEdit->setText(input[1]);
        login->logIn();
        QCOMPARE(login->hintLabel->text(), input[2]);
        QVERIFY(input[3].isEmpty() || QApplication::focusWidget()->objectName() == input[3]);
        QVERIFY(login->isVisible() && !login->quitRequested());
        QVERIFY(MessageBox::takeShown().isEmpty() && f.form->station.session.LoggedInUser.isEmpty());
    }

    void loginAppliesUserAndSettings_data()
    {
        QTest::addColumn<QStringList>("permission"); // and the first toolbar command
        QTest::addColumn<int>("nodeReadPeriod");
        QTest::addColumn<int>("used");
        QTest::newRow("administrator, 50 ms") << QStringList{"管理员", "用户管理"} << 50 << 1000;
        QTest::newRow("ordinary user, 100 ms") << QStringList{"普通用户", "修改密码"} << 100 << 100;
        QTest::newRow("other permission, 10000 ms") << QStringList{"guest", "修改密码"} << 10000 << 10000;
        QTest::newRow("super administrator, 20000 ms")
            << QStringList{"超级管理员", "用户管理"} << 20000 << 1000;
    }

    void loginAppliesUserAndSettings()
    {
        QFETCH(QStringList, permission);
        QFETCH(int, nodeReadPeriod);
        QFETCH(int, used);
        MainWindowFixture f;
        // A full-width blank is part of the password, as the first start stores it.
        f.db.addUser("admin", "secret\u3000", " " + permission[0]);
        f.db.addUser("admin", "secret\u3000", " " + permission[0]); // twins, as a rename can leave them
        f.db.addSettings("  防雷监控  ", 30, nodeReadPeriod);
        f.form->loginDialog->userEdit->setText("  admin ");
        f.form->loginDialog->passwordEdit->setText(" secret\u3000 ");
        f.form->loginDialog->logIn();
        const Session& s = f.form->station.session;
        const LineSettings& line = f.form->station.line;
        const MainWindow& w = *f.form;
        QCOMPARE((QStringList{s.LoggedInUser, s.LoggedInPassword, s.LoggedInPermission,
                              w.statusText(StatusPanel::kUser), w.usersButton->text(), w.windowTitle(),
                              line.ComParity, line.PortState, w.statusText(StatusPanel::kPort),
                              w.statusText(StatusPanel::kMonitoring), w.statusText(StatusPanel::kCountdown),
                              w.periodEdit->text(), w.readPeriodEdit->text()}),
                 (QStringList{"admin", "secret\u3000", permission[0], permission[0] + ":admin", permission[1],
                              "防雷监控", "n", "关闭", "串口未打开", "未启动监控", "", "30",
                              QString::number(used)}));
        QCOMPARE((QList<int>{line.ComNum, line.ComBaud, line.ComDataBit, line.ComStopBit,
                             w.station.poll.NodeReadPeriod}),
                 (QList<int>{3, 9600, 8, 1, used}));
        // Only the value in memory changes; the table keeps what it had.
        QCOMPARE(f.db.count(QString("soft_record WHERE node_read_time=%1").arg(nodeReadPeriod)), 1);
    }

    void loginDecidesWhetherTheProgramGoesOn_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("stored"); // a settings row exists
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("shown"); // title and periods; no title: nothing applied
        QTest::newRow("login button") << "login" << true << false << "T 9/300";
        QTest::newRow("login, no settings row") << "login" << false << false << "监控软件 0/1000";
        QTest::newRow("escape, as the close box") << "escape" << true << true << "T 9/300";
        QTest::newRow("cancel") << "cancel" << true << true << " Edit1/Edit2";
    }

    // The main window's first showing runs the login; leaving it without a login
    // ends the program, the close box after applying the stored settings.
    void loginDecidesWhetherTheProgramGoesOn()
    {
        QFETCH(QString, way);
        QFETCH(bool, stored);
        QFETCH(bool, ends);
        MainWindowFixture f;
        f.db.addUser("u", "p", "管理员");
        if (stored)
            f.db.addSettings("T", 9, 300);
        QTimer::singleShot(0, [&f, way]() {
            LoginDialog* login = f.form->loginDialog;
            QTest::keyClicks(login->userEdit, "u");
            QTest::keyClicks(login->passwordEdit, "p");
            if (way == "escape")
                QTest::keyClick(login, Qt::Key_Escape);
            else
                QTest::mouseClick(way == "cancel" ? login->cancelButton : login->loginButton, Qt::LeftButton);
        });
        f.form->FormShow();
        QCOMPARE(f.form->exitRequested(), ends);
        QCOMPARE(f.form->isEnabled(), !ends); // an ending program takes no input
        QCOMPARE(f.form->station.session.LoggedInUser, ends ? "" : "u");
        QTEST(f.form->windowTitle() + ' ' + f.form->periodEdit->text() + '/' + f.form->readPeriodEdit->text(),
              "shown");
        QCOMPARE(f.form->station.line.PortState, f.form->windowTitle().isEmpty() ? "" : "关闭");
        QCOMPARE(f.db.count("soft_record"), stored ? 1 : 0);
    }
};

QTEST_MAIN(LoginTest)
#include "LoginTest.moc"
