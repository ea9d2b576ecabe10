// The surge history from the outside: kpv-sim counts surges on a pty, the
// real window and station poll them, the history window shows them, the
// broker carries them, and the export reads back with Python's csv.
#include "KpvSim.h"
#include "MainWindowFixture.h"
#include "MqttBroker.h"

#include "history/HistoryWindow.h"
#include "link/SerialDialog.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

using namespace Qt::StringLiterals;

namespace {
QStringList gridRows(const QTableWidget* grid, const QList<int>& columns)
{
    QStringList rows;
    for (int row = 0; row < grid->rowCount(); ++row) {
        QStringList cells;
        for (int column : columns)
            cells << grid->item(row, column)->text();
        rows << cells.join(u'|');
    }
    return rows;
}
} // namespace

class SurgeWindowTest final : public QObject
{
    Q_OBJECT
private slots:
    void surgesFromTheBusReachWindowBrokerAndExport();
    void widestPeriodIsFewBarsAtOnce();
};

// The widest period the date fields take, shown in years; the summary names
// its last day.
void SurgeWindowTest::widestPeriodIsFewBarsAtOnce()
{
    TestDatabase db;
    db.exec(
        u"INSERT INTO surge_event (device_id, event_time, count_before, count_after, surges, kind) VALUES "
        "(1, '1970-01-01 00:00:00', 0, 2, 2, 'surge'), (1, '2099-12-31 23:59:59', 2, 5, 3, 'surge')"_s);
    HistoryWindow window(db.connection());
    window.show();
    window.firstDayEdit->setDate(window.firstDayEdit->minimumDate());
    window.lastDayEdit->setDate(window.lastDayEdit->maximumDate());
    QElapsedTimer timer;
    timer.start();
    window.spanCombo->setCurrentIndex(int(SurgeHistory::Span::Custom));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    const QBarSet* set =
        qobject_cast<QBarSeries*>(window.chartView->chart()->series().value(0))->barSets().value(0);
    QCOMPARE(set->count(), 130);
    QCOMPARE(set->at(0) + set->at(129), 5.0);
    QVERIFY2(window.summaryLabel->text().startsWith(u"1970-01-01 至 2099-12-31 共 5 次浪涌"_s),
             qPrintable(window.summaryLabel->text()));
}

void SurgeWindowTest::surgesFromTheBusReachWindowBrokerAndExport()
{
    constexpr int kPort = 202;
    QTemporaryDir portDir;
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttSubscriber sub;
    QVERIFY(sub.start(broker.port()));
    broker.writeConfig({});
    MainWindowFixture f;
    const auto count = [&f]() { return f.db.count(u"surge_event"_s); };
    f.db.addUser(u"op"_s, u"pw"_s, u"普通用户"_s);
    f.db.exec(u"INSERT INTO soft_record VALUES ('S', %1, 9600, 8, 1, 'n', 0, 50)"_s.arg(kPort));
    // A name the export must quote.
    for (const QString& device : {u"1, 'KPV1'"_s, u"2, 'KPV\"2\",东'"_s})
        f.db.exec(u"INSERT INTO node_record (device_id, device_name, node_code, node_alarm_type, node_name, "
                  "node_reg_add, con_data_type, node_data_lower, node_data_upper, install_date) VALUES "
                  "(%1, 3, '0000(正常)/FFFF(异常)', '设备状态', 11, '开关量', 0, 65535, "
                  "datetime('now', 'localtime')), (%1, 3, '', '浪涌次数', 5, '模拟量', 0, 65535, "
                  "datetime('now', 'localtime'))"_s.arg(device));
    KpvSim sim;
    QVERIFY(sim.start(kPort, {1, 2}));
    f.logInAndOpenPort(u"op"_s, u"pw"_s);
    f.form->toggleMonitoring();
    // The first readings are baselines.
    QTRY_COMPARE_WITH_TIMEOUT(f.db.count(u"node_record WHERE node_name='浪涌次数' AND read_time NOT NULL"_s),
                              2, 20000);
    QCOMPARE(count(), 0);
    QVERIFY(sim.command(u"surge 1 3"_s));
    QVERIFY(sim.command(u"surge 2"_s));
    QTRY_COMPARE_WITH_TIMEOUT(count(), 2, 20000);
    QVERIFY(sim.command(u"surge 1 2"_s));
    QTRY_COMPARE_WITH_TIMEOUT(count(), 3, 20000);

    // Device, surges, count before and after, kind; newest first.
    const QStringList expected{u"1|2|3|5|浪涌"_s, u"2|1|0|1|浪涌"_s, u"1|3|0|3|浪涌"_s};
    QStringList published;
    QTRY_COMPARE_WITH_TIMEOUT(sub.messages(u"/surge"_s).size(), 3, 10000);
    for (const QString& line : sub.messages(u"/surge"_s)) {
        QCOMPARE(line.section(u'|', 0, 1), u"spdmon/st/surge|0"_s);
        const QJsonObject json = QJsonDocument::fromJson(line.section(u'|', 2).toUtf8()).object();
        QCOMPARE(json.value(u"time"_s).toString().size(), 19);
        published.prepend(u"%1|%2|%3|%4|%5"_s.arg(json.value(u"device"_s).toInt())
                              .arg(json.value(u"surges"_s).toInt())
                              .arg(json.value(u"before"_s).toInt())
                              .arg(json.value(u"count"_s).toInt())
                              .arg(json.value(u"kind"_s).toString() == u"surge"_s ? u"浪涌"_s : u"?"_s));
    }

    // Events, not states: a new subscription finds none kept at the broker.
    sub.stop();
    QVERIFY(sub.start(broker.port()));
    QTRY_VERIFY(!sub.messages(u"/node/"_s).isEmpty());
    QCOMPARE(sub.messages(u"/surge"_s), QStringList());

    // The window of a user without administration rights, over yesterday to tomorrow.
    QTest::mouseClick(f.form->historyButton, Qt::LeftButton);
    HistoryWindow& window = *f.form->historyWindow;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QDate today = QDate::currentDate();
    window.firstDayEdit->setDate(today.addDays(-1));
    window.lastDayEdit->setDate(today.addDays(1));
    window.spanCombo->setCurrentIndex(int(SurgeHistory::Span::Custom));
    QStringList shown = gridRows(window.eventGrid, {1, 3, 4, 5, 6});
    QCOMPARE(shown.size(), 3);
    // Devices 1 and 2 may be read in either order after the first command.
    QCOMPARE(shown.first(), expected.first());
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()), QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(QSet<QString>(published.begin(), published.end()),
             QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(gridRows(window.totalsGrid, {0, 1, 2, 3, 4, 5}),
             (QStringList{u"1|KPV1|5|2|5|100%"_s, u"2|KPV\"2\",东|1|1|1|100%"_s}));

    const QString csv = portDir.filePath(u"surges.csv"_s);
    QTimer::singleShot(0, [csv]() {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(csv);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    QTest::mouseClick(window.exportButton, Qt::LeftButton);
    QProcess python;
    python.start(u"python3"_s, {u"-c"_s,
                                u"import csv, sys\nfor row in csv.reader(open(sys.argv[1], "
                                "encoding='utf-8-sig', newline='')): print('|'.join(row))"_s,
                                csv});
    QVERIFY(python.waitForFinished(30000));
    // Oldest first.
    QStringList all = gridRows(window.eventGrid, {0, 1, 2, 3, 4, 5, 6, 7});
    std::reverse(all.begin(), all.end());
    all.prepend(SurgeHistory::eventHeader().join(u'|'));
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), all);

    // A surge while monitoring is stopped is told with the last reading before the stop.
    f.form->toggleMonitoring();
    QVERIFY(f.settle());
    QVERIFY(sim.command(u"surge 2"_s));
    f.form->toggleMonitoring();
    QTRY_COMPARE_WITH_TIMEOUT(count(), 4, 20000);
    QCOMPARE(f.db.column(u"SELECT gap_start < event_time FROM surge_event ORDER BY id DESC LIMIT 1"_s),
             QStringList{u"1"_s});
}

QTEST_MAIN(SurgeWindowTest)
#include "SurgeWindowTest.moc"
