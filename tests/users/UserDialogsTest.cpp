#include "ModalDriver.h"

#include <QLabel>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {
// Edit1 Edit2 ComboBox1, the grid, then add save delete modify cancel.
QString states(QDialog& d)
{
    QString s;
    for (const char* name :
         {"Edit1", "Edit2", "ComboBox1", "DBGrid1", "BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "BitBtn5"})
        s += child<QWidget>(d, name)->isEnabled() ? u'1' : u'0';
    return s.insert(4, u' ').insert(3, u' ');
}

QString fields(QDialog& d)
{
    return child<QLineEdit>(d, "Edit1")->text() + u'|' + child<QLineEdit>(d, "Edit2")->text() + u'|' +
           child<QComboBox>(d, "ComboBox1")->currentText() + u' ' + states(d);
}

void fill(QDialog& d, const QString& name, const QString& password, const QString& permission)
{
    child<QLineEdit>(d, "Edit1")->setText(name);
    child<QLineEdit>(d, "Edit2")->setText(password);
    auto* combo = child<QComboBox>(d, "ComboBox1");
    combo->setCurrentIndex(combo->findText(permission));
}

QString users(TestDatabase& db)
{
    QSqlQuery q(u"SELECT group_concat(用户名||'/'||密码||'/'||权限, ' ') FROM "
                "(SELECT * FROM dd_user ORDER BY rowid)"_s,
                db.connection().database());
    return q.next() ? q.value(0).toString() : u"?"_s;
}
} // namespace

class UserDialogsTest final : public QObject
{
    Q_OBJECT
private slots:
    void deletion_data()
    {
        QTest::addColumn<QString>("accounts"); // in table order
        QTest::addColumn<int>("picked");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("left");
        const QString keep = u"管理员用户必须保留一个"_s, done = u"用户删除成功"_s;
        QTest::newRow("the one administrator")
            << u"admin/a/管理员 op/o/普通用户"_s << 0 << keep << u"admin/a/管理员 op/o/普通用户"_s;
        QTest::newRow("one of two administrators")
            << u"admin/a/管理员 boss/b/管理员"_s << 0 << done << u"boss/b/管理员"_s;
        QTest::newRow("ordinary namesake of the one administrator")
            << u"boss/a/管理员 boss/b/普通用户"_s << 1 << keep << u"boss/a/管理员 boss/b/普通用户"_s;
        QTest::newRow("ordinary user, no administrator to count")
            << u"root/r/超级管理员 op/o/普通用户"_s << 1 << done << u"root/r/超级管理员"_s;
    }

    // Deleting leaves the fields and buttons as they were.
    void deletion()
    {
        QFETCH(QString, accounts);
        QFETCH(int, picked);
        QFETCH(QString, left);
        MainWindowFixture f;
        for (const QString& account : accounts.split(u' ')) {
            const QStringList p = account.split(u'/');
            f.db.addUser(p[0], p[1], p[2]);
        }
        drive(f.form->BitBtn1, [&](QDialog& d) {
            pickRow(d, picked);
            const QString before = fields(d);
            QCOMPARE(before.section(u' ', 1), u"000 1 10111"_s);
            press(d, "BitBtn3");
            QTEST(MessageBox::takeShown().join(u'\n'), "message");
            QCOMPARE(fields(d), before);
            QCOMPARE(child<QTableView>(d, "DBGrid1")->model()->rowCount(), int(left.count(u' ')) + 1);
        });
        QCOMPARE(users(f.db), left);
    }

    void addChangeAndCancel()
    {
        MainWindowFixture f;
        f.db.addUser(u"admin"_s, u"secret"_s, u"管理员"_s);
        drive(f.form->BitBtn1, [&](QDialog& d) {
            auto* grid = child<QTableView>(d, "DBGrid1");
            QCOMPARE(d.windowTitle(), u"用户管理"_s);
            QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
            const QAbstractItemModel* m = grid->model();
            QCOMPARE(
                (QStringList{m->headerData(0, Qt::Horizontal).toString(),
                             m->headerData(1, Qt::Horizontal).toString(),
                             m->headerData(2, Qt::Horizontal).toString(), m->index(0, 1).data().toString()}),
                (QStringList{u"用户名"_s, u"密码"_s, u"权限"_s, u"secret"_s}));
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);

            press(d, "BitBtn1");
            QCOMPARE(states(d), u"111 0 01001"_s);
            const struct
            {
                QString name, password, permission, message;
                const char* focus;
            } refused[] = {
                {u" "_s, u"pw"_s, u"普通用户"_s, u"用户名不能为空"_s, "Edit1"},
                {u"op"_s, u"  "_s, u"普通用户"_s, u"密码不能为空"_s, "Edit2"},
                {u"op"_s, u"pw"_s, QString(), u"请选择管理权限"_s, "ComboBox1"},
                {u" admin "_s, u"pw"_s, u"普通用户"_s, u"用户已经存在，请重新输入用户名"_s, "Edit1"},
            };
            for (const auto& r : refused) {
                fill(d, r.name, r.password, r.permission);
                press(d, "BitBtn2");
                QCOMPARE(MessageBox::takeShown(), QStringList{r.message});
                QCOMPARE(QApplication::focusWidget(), child<QWidget>(d, r.focus));
                QCOMPARE(states(d), u"111 0 01001"_s);
            }
            fill(d, u" op "_s, u" pw "_s, u"普通用户"_s);
            press(d, "BitBtn2");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"添加成功"_s});
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);
            QCOMPARE(users(f.db), u"admin/secret/管理员 op/pw/普通用户"_s);

            // A renamed account may take another account's name; with the
            // password too, neither of the two can be changed any more.
            pickRow(d, 1);
            QCOMPARE(fields(d), u"op|pw|普通用户 000 1 10111"_s);
            press(d, "BitBtn4");
            QCOMPARE(states(d), u"111 0 01001"_s);
            fill(d, u"admin "_s, u"secret"_s, u"管理员"_s);
            press(d, "BitBtn2");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"修改成功"_s});
            QCOMPARE(users(f.db), u"admin/secret/管理员 admin/secret/管理员"_s);
            pickRow(d, 0);
            press(d, "BitBtn4");
            fill(d, u"x"_s, u"y"_s, u"普通用户"_s);
            press(d, "BitBtn2");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"修改失败"_s});
            QCOMPARE(users(f.db), u"admin/secret/管理员 admin/secret/管理员"_s);
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);
            QCOMPARE(grid->model()->rowCount(), 2);

            press(d, "BitBtn1");
            fill(d, u"z"_s, u"z"_s, u"管理员"_s);
            press(d, "BitBtn5");
            QCOMPARE(fields(d), u"|| 111 1 10001"_s);
        });
    }

    void passwordChange()
    {
        MainWindowFixture f;
        f.db.addUser(u"u"_s, u"p"_s, u"普通用户"_s);
        f.db.addUser(u"v"_s, u"p"_s, u"普通用户"_s);
        f.form->state.LoggedInUser = u"u"_s;
        f.form->state.LoggedInPassword = u"p"_s;
        f.form->BitBtn1->setText(u"修改密码"_s);
        const auto attempt = [](QDialog& d, const QString& text) {
            child<QLineEdit>(d, "Edit1")->setText(text);
            press(d, "BitBtn1");
            return child<QLabel>(d, "StaticText2")->text();
        };
        drive(f.form->BitBtn1, [&](QDialog& d) {
            QCOMPARE(d.windowTitle(), u"Form4"_s);
            QCOMPARE(child<QLabel>(d, "StaticText2")->text(), QString());
            QCOMPARE(attempt(d, u" \t "_s), u"密码不能为空！"_s);
            QCOMPARE(attempt(d, u" p2 "_s), u"修改成功！"_s);
            QCOMPARE(attempt(d, u"p3"_s), u"修改成功！"_s); // found by the new password
            QCOMPARE(users(f.db), u"u/p3/普通用户 v/p/普通用户"_s);
        });
        f.db.exec(u"UPDATE dd_user SET 用户名='u', 密码='p3' WHERE 用户名='v'"_s);
        drive(f.form->BitBtn1, [&](QDialog& d) {
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), u"p3"_s);
            QCOMPARE(child<QLabel>(d, "StaticText2")->text(), QString());
            QCOMPARE(attempt(d, u"p4"_s), u"修改失败！"_s);
        });
        QCOMPARE(users(f.db), u"u/p3/普通用户 u/p3/普通用户"_s);
        QCOMPARE(f.form->state.LoggedInPassword, u"p3"_s);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(UserDialogsTest)
#include "UserDialogsTest.moc"
