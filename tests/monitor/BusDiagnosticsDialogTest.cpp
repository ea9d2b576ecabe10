// The 通信诊断 window and the card tooltips over a scripted bus: one device
// answers, one is silent.
#include "MainWindowFixture.h"

#include "display/DataPanel.h"
#include "monitor/BusDiagnosticsDialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>

using namespace Qt::StringLiterals;

class BusDiagnosticsDialogTest final : public QObject
{
    Q_OBJECT
private slots:
    void countsShownSortedAndReset();
};

void BusDiagnosticsDialogTest::countsShownSortedAndReset()
{
    MainWindowFixture f;
    for (int device : {1, 2})
        f.db.exec(u"INSERT INTO node_record (device_id, device_name, node_name, node_code, node_reg_add, "
                  "con_data_type, node_alarm_type) VALUES (%1, 'KPV%1', '设备状态', 3, 11, '开关量', "
                  "'0000(正常)/FFFF(异常)')"_s.arg(device));
    f.bus.silence(2);
    f.form->setBus(&f.bus);
    f.station.line.PortState = u"打开"_s;
    f.form->periodEdit->setText(u"0"_s);
    f.form->readPeriodEdit->setText(u"100"_s);
    f.showLoggedIn();
    f.station.session.LoggedInPermission = u"普通用户"_s;
    BusDiagnosticsDialog* window = f.form->diagnosticsDialog;
    QAbstractItemModel* grid = window->countersGrid->model();
    const auto cell = [grid](int row, int column) { return grid->index(row, column).data().toString(); };

    f.form->diagnosticsButton->click();
    QVERIFY(window->isVisible() && MessageBox::takeShown().isEmpty());
    f.form->toggleMonitoring();
    QTRY_VERIFY_WITH_TIMEOUT(grid->rowCount() == 2 && cell(1, 3).toInt() >= 4, 10000);
    f.form->toggleMonitoring();
    // Device, requests, good, no reply, bad, exception ... failures in a row.
    QCOMPARE(cell(0, 0) + cell(0, 4) + cell(0, 5) + cell(0, 11), u"1000"_s);
    QCOMPARE(cell(0, 1), cell(0, 2));
    QCOMPARE(cell(1, 0) + cell(1, 2) + cell(1, 10), u"20-"_s);
    QCOMPARE(cell(1, 1), cell(1, 3));
    QCOMPARE(cell(1, 11), cell(1, 3));
    window->countersGrid->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder); // as a click does
    QCOMPARE(cell(0, 0) + cell(1, 0), u"21"_s);
    // The overview's second card is device 2's.
    QVERIFY(f.form->panel().CardHeaders[1]->toolTip().contains(u"正常 0，无应答 %1"_s.arg(cell(0, 3))));
    QVERIFY(f.form->panel().CardLists[0]->toolTip().contains(u"无应答 0"_s));

    // Counts begin afresh with monitoring, and at the button.
    f.form->toggleMonitoring();
    QCOMPARE(grid->rowCount(), 0);
    QTRY_COMPARE(grid->rowCount(), 2);
    f.form->toggleMonitoring();
    window->resetButton->click();
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(f.form->panel().CardHeaders[1]->toolTip(), QString());
}

QTEST_MAIN(BusDiagnosticsDialogTest)
#include "BusDiagnosticsDialogTest.moc"
