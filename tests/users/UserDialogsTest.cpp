#include "ModalDriver.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
// userEdit passwordEdit permissionCombo, the grid, then add save delete modify cancel.
QString states(QDialog& d)
{
    QString s;
    for (const char* name : {"userEdit", "passwordEdit", "permissionCombo", "recordGrid", "addButton",
                             "saveButton", "deleteButton", "modifyButton", "cancelButton"})
        s += child<QWidget>(d, name)->isEnabled() ? u'1' : u'0';
    return s.insert(4, u' ').insert(3, u' ');
}

QString fields(QDialog& d)
{
    return child<QLineEdit>(d, "userEdit")->text() + u'|' + child<QLineEdit>(d, "passwordEdit")->text() +
           u'|' + child<QComboBox>(d, "permissionCombo")->currentText() + u' ' + states(d);
}

// Fills the three fields, presses save and returns the messages shown.
QString save(QDialog& d, const QString& name, const QString& password, const QString& permission)
{
    child<QLineEdit>(d, "userEdit")->setText(name);
    child<QLineEdit>(d, "passwordEdit")->setText(password);
    auto* combo = child<QComboBox>(d, "permissionCombo");
    combo->setCurrentIndex(combo->findText(permission));
    press(d, "saveButton");
    return MessageBox::takeShown().join(u'\n');
}

QString users(TestDatabase& db)
{
    return tableText(db, u"用户名||'/'||密码||'/'||权限"_s, u"dd_user"_s);
}
} // namespace

class UserDialogsTest final : public QObject
{
    Q_OBJECT
private slots:
    void addChangeDeleteAndCancel()
    {
        MainWindowFixture f;
        f.db.addUser(u"admin"_s, u"secret"_s, u"管理员"_s);
        f.db.addUser(u"old"_s, u"o"_s, u"普通用户"_s);
        drive(f.form->usersButton, [&](QDialog& d) {
            QCOMPARE(child<QTableView>(d, "recordGrid")->editTriggers(), QAbstractItemView::NoEditTriggers);
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);
            // Deleting leaves the fields and buttons as they were; the one administrator stays.
            const auto remove = [&d](int row) {
                pickRow(d, row);
                const QString picked = fields(d);
                press(d, "deleteButton");
                return MessageBox::takeShown().join(u'\n') +
                       (fields(d) == picked ? u""_s : u" (fields changed)"_s);
            };
            QCOMPARE(remove(0), u"管理员用户必须保留一个"_s);
            QCOMPARE(remove(1), u"用户删除成功"_s);
            QCOMPARE(child<QTableView>(d, "recordGrid")->model()->rowCount(), 1);
            QCOMPARE(users(f.db), u"admin/secret/管理员"_s);
            pickRow(d, 0); // demoting the one administrator
            press(d, "modifyButton");
            QCOMPARE(save(d, u"admin"_s, u"secret"_s, u"普通用户"_s), u"管理员用户必须保留一个"_s);
            press(d, "addButton");
            const QStringList refused[] = {
                {" ", "pw", "普通用户", "用户名不能为空", "userEdit"},
                {"op", "  ", "普通用户", "密码不能为空", "passwordEdit"},
                {"op", "pw", "", "请选择管理权限", "permissionCombo"},
                {" admin ", "pw", "普通用户", "用户已经存在，请重新输入用户名", "userEdit"},
            };
            for (const QStringList& r : refused) {
                QCOMPARE(save(d, r[0], r[1], r[2]), r[3]);
                QCOMPARE(QApplication::focusWidget()->objectName(), r[4]);
                QCOMPARE(states(d), u"111 0 01001"_s);
            }
            QCOMPARE(save(d, u" op "_s, u" pw "_s, u"普通用户"_s), u"添加成功"_s);
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);
            QCOMPARE(users(f.db), u"admin/secret/管理员 op/pw/普通用户"_s);

            // A renamed account may take another account's name; with the
            // password too, neither of the two can be changed any more.
            pickRow(d, 1);
            QCOMPARE(fields(d), u"op|pw|普通用户 000 1 10111"_s);
            press(d, "modifyButton");
            QCOMPARE(states(d), u"111 0 01001"_s);
            QCOMPARE(save(d, u"admin "_s, u"secret"_s, u"管理员"_s), u"修改成功"_s);
            pickRow(d, 0);
            press(d, "modifyButton");
            QCOMPARE(save(d, u"x"_s, u"y"_s, u"普通用户"_s), u"修改失败"_s);
            QCOMPARE(users(f.db), u"admin/secret/管理员 admin/secret/管理员"_s);
            QCOMPARE(fields(d), u"|| 000 1 10001"_s);

            press(d, "addButton");
            child<QLineEdit>(d, "userEdit")->setText(u"z"_s);
            press(d, "cancelButton");
            QCOMPARE(fields(d), u"|| 111 1 10001"_s);
        });
    }

    void passwordChange()
    {
        MainWindowFixture f;
        f.db.addUser(u"u"_s, u"p"_s, u"普通用户"_s);
        f.db.addUser(u"v"_s, u"p"_s, u"普通用户"_s);
        f.form->station.session.LoggedInUser = u"u"_s;
        f.form->station.session.LoggedInPassword = u"p"_s;
        f.form->usersButton->setText(u"修改密码"_s);
        const auto attempt = [](QDialog& d, const QString& text) {
            child<QLineEdit>(d, "passwordEdit")->setText(text);
            press(d, "changeButton");
            return child<QLabel>(d, "hintLabel")->text();
        };
        drive(f.form->usersButton, [&](QDialog& d) {
            QCOMPARE(child<QLabel>(d, "hintLabel")->text(), QString());
            QCOMPARE(attempt(d, u" \t "_s), u"密码不能为空！"_s);
            QCOMPARE(attempt(d, u" p2 "_s), u"修改成功！"_s);
            QCOMPARE(attempt(d, u"p3"_s), u"修改成功！"_s); // found by the new password
            QCOMPARE(users(f.db), u"u/p3/普通用户 v/p/普通用户"_s);
        });
        f.db.exec(u"UPDATE dd_user SET 用户名='u', 密码='p3' WHERE 用户名='v'"_s);
        drive(f.form->usersButton, [&](QDialog& d) {
            QCOMPARE(child<QLineEdit>(d, "passwordEdit")->text(), u"p3"_s);
            QCOMPARE(child<QLabel>(d, "hintLabel")->text(), QString());
            QCOMPARE(attempt(d, u"p4"_s), u"修改失败！"_s);
        });
        QCOMPARE(users(f.db), u"u/p3/普通用户 u/p3/普通用户"_s);
        QCOMPARE(f.form->station.session.LoggedInPassword, u"p3"_s);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(UserDialogsTest)
#include "UserDialogsTest.moc"
