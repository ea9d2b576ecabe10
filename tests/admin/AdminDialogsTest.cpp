#include "ModalDriver.h"

#include "app/Startup.h"

#include <QFileDialog>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
// Presses "导出" and answers the file question with path.
void exportTo(QDialog& dialog, const QString& path)
{
    QTimer::singleShot(0, [path]() {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(files);
        // Qt's own texts are in Chinese too.
        QCOMPARE(files->findChild<QToolButton*>("newFolderButton")->toolTip(), u"新建文件夹"_s);
        files->selectFile(path);
        QMetaObject::invokeMethod(files, "accept");
    });
    press(dialog, "exportButton");
}
} // namespace

class AdminDialogsTest final : public QObject
{
    Q_OBJECT
private slots:
    void alarmRecords()
    {
        MainWindowFixture f;
        Startup::loadQtTranslations(*QCoreApplication::instance());
        f.form->station.session.LoggedInPermission = u"管理员"_s;
        f.db.exec(
            u"INSERT INTO alarm_record VALUES ('2026-03-01 08:00:00', 'a'), "
            "('2026-03-01 09:00:00', 'b1'), ('2026-03-01 09:00:00', 'b2'), ('2026-03-02 10:00:00', 'c')"_s);
        f.form->reloadAlarmLog();
        QTableView* mainGrid = f.form->alarmLogGrid;
        drive(f.form->alarmsButton, [&](QDialog& d) {
            auto* grid = child<QTableView>(d, "recordGrid");
            QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
            pickRow(d, 1);
            QCOMPARE(mainGrid->currentIndex().row(), 1); // one current row for both
            press(d, "deleteButton");
            QCOMPARE(tableText(f.db, u"告警纪录"_s, u"alarm_record"_s), u"a c"_s); // both of that second
            QCOMPARE(mainGrid->model()->rowCount(), 2);
            QCOMPARE(std::pair(grid->currentIndex().row(), mainGrid->currentIndex().row()), std::pair(0, 0));

            exportTo(d, f.db.dir() + u"/log.csv"_s);
            QFile file(f.db.dir() + u"/log.csv"_s);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), "\xEF\xBB\xBF告警时间,告警纪录\r\n2026-03-01 08:00:00,a\r\n2026-03-02 10:00:00,c\r\n");
            QCOMPARE(MessageBox::takeShown().join(QString()),
                     u"导出告警记录成功，共 2 条记录，已写入文件 \"%1/log.csv\""_s.arg(f.db.dir()));
            QCOMPARE(f.db.count(u"alarm_record"_s), 2); // export changes nothing

            pickRow(d, 1);
            press(d, "deleteAllButton");
            QCOMPARE(f.db.count(u"alarm_record"_s), 0);
            QCOMPARE(mainGrid->model()->rowCount(), 0);
            press(d, "deleteButton"); // nothing left to delete
            press(d, "deleteAllButton");
            QVERIFY(MessageBox::takeShown().isEmpty());
            press(d, "exitButton");
            QVERIFY(!d.isVisible());
        });
    }

    void softwareName()
    {
        MainWindowFixture f;
        f.form->station.session.SoftwareName = u"监控软件"_s;
        f.form->setWindowTitle(u"监控软件"_s);
        drive(f.form->softwareNameButton, [&](QDialog& d) {
            auto* edit = child<QLineEdit>(d, "nameEdit");
            QCOMPARE(edit->text(), u"监控软件"_s);
            edit->setText(u" \t "_s);
            press(d, "saveButton");
            QCOMPARE(MessageBox::takeShown(), QStringList{u"软件名称不能为空"_s});
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(f.db.count(u"soft_record"_s), 0);
            QCOMPARE(f.form->windowTitle() + f.form->station.session.SoftwareName, u"监控软件监控软件"_s);

            edit->setText(u"  一号站 "_s);
            press(d, "saveButton");
            QCOMPARE(tableText(f.db, u"soft_name"_s, u"soft_record"_s), u"一号站"_s);
            QCOMPARE(f.form->windowTitle() + f.form->station.session.SoftwareName, u"一号站一号站"_s);
            QCOMPARE(edit->text(), u"  一号站 "_s);
            QVERIFY(d.isVisible());
            QVERIFY(MessageBox::takeShown().isEmpty());
        });
        drive(f.form->softwareNameButton,
              [](QDialog& d) { QCOMPARE(child<QLineEdit>(d, "nameEdit")->text(), u"一号站"_s); });
    }
};

QTEST_MAIN(AdminDialogsTest)
#include "AdminDialogsTest.moc"
