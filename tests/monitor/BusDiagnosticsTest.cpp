// Bus diagnostics from the serial line to the screen: the real link library
// against kpv-sim on a pseudo-terminal, the counters the poll step keeps, the
// 通信诊断 window and the card tooltips.
#include "KpvSim.h"
#include "MainWindowFixture.h"

#include "display/DataPanel.h"
#include "link/SerialDialog.h"
#include "monitor/BusDiagnosticsDialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class BusDiagnosticsTest final : public QObject
{
    Q_OBJECT
private slots:
    void eachFailureCountedShownAndReset();
    void hiddenGridFitsOnceShownAndFollowsSorting();
};

void BusDiagnosticsTest::eachFailureCountedShownAndReset()
{
    constexpr int kPort = 203;
    QTemporaryDir portDir;
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    MainWindowFixture f;
    f.db.addUser(u"op"_s, u"pw"_s, u"普通用户"_s);
    f.db.exec(u"INSERT INTO soft_record VALUES ('diag', %1, 9600, 8, 1, 'n', 0, 100)"_s.arg(kPort));
    // Device n behaves as faults[n-1].
    const QStringList faults{u"normal 1"_s,        u"late 2 100"_s,         u"silent 3"_s,
                             u"garbage 4 crc"_s,   u"garbage 5 address"_s,  u"garbage 6 short"_s,
                             u"garbage 7 noise"_s, u"garbage 8 exception"_s};
    KpvSim sim;
    QVERIFY(sim.start(kPort, {1, 2, 3, 4, 5, 6, 7, 8}));
    for (int device = 1; device <= faults.size(); ++device) {
        QVERIFY(sim.command(faults[device - 1]));
        f.db.exec(u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                  "node_reg_add, con_data_type) VALUES (%1, 'KPV%1', 3, '0000(正常)/FFFF(异常)', '设备状态', "
                  "11, '开关量')"_s.arg(device));
    }
    f.logInAndOpenPort(u"op"_s, u"pw"_s);
    f.station.bus()->setDelay(250); // room for the slow device on a busy machine
    BusDiagnosticsDialog* window = f.form->diagnosticsDialog;
    QAbstractItemModel* grid = window->countersGrid->model();
    const auto cell = [grid](int row, int column) { return grid->index(row, column).data().toString(); };
    const auto sortBy = [window](int column, Qt::SortOrder order) {
        window->countersGrid->horizontalHeader()->setSortIndicator(column, order); // as a click does
    };

    f.form->diagnosticsButton->click(); // an ordinary user may
    QVERIFY(window->isVisible() && MessageBox::takeShown().isEmpty());
    f.form->toggleMonitoring();
    // Every device read three times at least: a pass holds a failing device for three reads.
    const auto fewestRequests = [&]() {
        int fewest = grid->rowCount() == faults.size() ? 3 : 0;
        for (int row = 0; row < grid->rowCount(); ++row)
            fewest = qMin(fewest, cell(row, 1).toInt());
        return fewest;
    };
    QTRY_COMPARE_WITH_TIMEOUT(fewestRequests(), 3, 30000);
    f.form->toggleMonitoring();
    // The count that took all of a device's reads: good, no reply, bad or exception.
    sortBy(0, Qt::AscendingOrder);
    QString kinds;
    for (int row = 0; row < faults.size(); ++row) {
        int column = 2;
        while (column < 6 && cell(row, column) != cell(row, 1))
            ++column;
        kinds += u"gnbe?"_s.at(column - 2);
        QCOMPARE(cell(row, 11), column == 2 ? u"0"_s : cell(row, 1)); // failures in a row
        QCOMPARE(cell(row, 10) == u"-"_s, column != 2);               // last good reply
    }
    QCOMPARE(kinds, u"ggnbbbbe"_s);
    // The slow device's replies took the simulator's delay, within the allowance.
    const double least = cell(1, 7).toDouble(), mean = cell(1, 8).toDouble(), most = cell(1, 9).toDouble();
    QVERIFY2(least >= 100 && least <= mean && mean <= most && most < 300,
             qPrintable(u"%1 %2 %3"_s.arg(least).arg(mean).arg(most)));
    sortBy(3, Qt::DescendingOrder);
    QCOMPARE(cell(0, 0), u"3"_s);
    // The overview's third card is device 3's.
    QVERIFY(f.form->panel().CardHeaders[2]->toolTip().contains(u"正常 0，无应答 %1"_s.arg(cell(0, 3))));
    QVERIFY(f.form->panel().CardLists[0]->toolTip().contains(u"无应答 0"_s));

    // Counts begin afresh with monitoring, and at the button.
    f.form->toggleMonitoring();
    QCOMPARE(grid->rowCount(), 0);
    QTRY_VERIFY(grid->rowCount() > 0);
    QCOMPARE(cell(0, 0) + u'|' + cell(0, 1), u"1|1"_s);
    f.form->toggleMonitoring();
    window->resetButton->click();
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(f.form->panel().CardHeaders[2]->toolTip(), QString());
}

// Counts taken in while hidden fit their columns once shown; a count reaches
// its device's row however the rows were sorted.
void BusDiagnosticsTest::hiddenGridFitsOnceShownAndFollowsSorting()
{
    BusDiagnosticsDialog window;
    DeviceCounters counters;
    counters.lastGood = QDateTime(QDate(2026, 1, 1), QTime(8, 0));
    for (const int device : {1, 2, 1}) {
        if (counters.requests == 4) // both rows there: device 1 moves down
            window.countersGrid->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
        counters.deviceId = device;
        counters.requests += 2;
        window.showCounters(counters);
    }
    const QModelIndex device1 = window.countersGrid->model()->index(1, 0);
    QCOMPARE(device1.data().toString() + u'|' + device1.siblingAtColumn(1).data().toString(), u"1|6"_s);
    window.show();
    const QAbstractItemView* grid = window.countersGrid;
    QTRY_VERIFY(grid->sizeHintForColumn(10) > 0 &&
                window.countersGrid->columnWidth(10) >= grid->sizeHintForColumn(10));
}

QTEST_MAIN(BusDiagnosticsTest)
#include "BusDiagnosticsTest.moc"
