#include "ModalDriver.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {
QString column(TestDatabase& db, const QString& expression, const QString& table)
{
    QSqlQuery q(
        u"SELECT group_concat(%1, ' ') FROM (SELECT * FROM %2 ORDER BY rowid)"_s.arg(expression, table),
        db.connection().database());
    return q.next() ? q.value(0).toString() : u"?"_s;
}
} // namespace

class AdminDialogsTest final : public QObject
{
    Q_OBJECT
private slots:
    void softwareName()
    {
        MainWindowFixture f;
        f.form->state.SoftwareName = u"监控软件"_s;
        f.form->setWindowTitle(u"监控软件"_s);
        drive(f.form->BitBtn6, [&](QDialog& d) {
            auto* edit = child<QLineEdit>(d, "Edit1");
            QCOMPARE(edit->text(), u"监控软件"_s);
            edit->setText(u" \t "_s);
            press(d, "BitBtn1");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"软件名称不能为空"_s});
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(f.db.count(u"soft_record"_s), 0);
            QCOMPARE(f.form->windowTitle() + f.form->state.SoftwareName, u"监控软件监控软件"_s);

            edit->setText(u"  一号站 "_s);
            press(d, "BitBtn1");
            // A new row holding only the name.
            QCOMPARE(column(f.db, u"soft_name||'|'||ifnull(com_num,'')"_s, u"soft_record"_s), u"一号站|"_s);
            QCOMPARE(f.form->windowTitle() + f.form->state.SoftwareName, u"一号站一号站"_s);
            QCOMPARE(edit->text(), u"  一号站 "_s);
            QVERIFY(d.isVisible());

            f.db.addSettings(u"second"_s, 5, 500);
            edit->setText(u"二号站"_s);
            press(d, "BitBtn1");
            QCOMPARE(column(f.db, u"soft_name"_s, u"soft_record"_s), u"二号站 second"_s);
            QVERIFY(MessageBox::takeShown().isEmpty());
        });
        drive(f.form->BitBtn6,
              [](QDialog& d) { QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), u"二号站"_s); });
    }
};

QTEST_MAIN(AdminDialogsTest)
#include "AdminDialogsTest.moc"
