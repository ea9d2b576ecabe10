// After each poll step that moves on, the view refreshed by the step shows
// what a full refresh of the same selection shows, through random readings, losses,
// alarms, outside edits and days going by.
#include "DisplayFixture.h"
#include "ScriptedBus.h"

#include "display/Cards.h"
#include "display/DeviceTree.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableView>

namespace {
void select(MainWindow& form, const QString& kind)
{
    form.station.selection.SelectedKind = kind;
    form.station.selection.SelectedDeviceId = 3;
    FreeCards(form.panel());
    ShowSelectedView(form.panel(), ViewMode::kCreate);
}

QStringList cards(MainWindow& form)
{
    QStringList shown;
    const DataPanel& panel = form.panel();
    for (int n = 0; n < panel.CardCount; ++n) {
        shown << panel.CardHeaders.at(n)->text() +
                     panel.CardHeaders.at(n)->palette().color(QPalette::Base).name();
        for (int i = 0; i < panel.CardLists.at(n)->count(); ++i)
            shown << panel.CardLists.at(n)->item(i)->text();
    }
    return shown;
}
} // namespace

class StepRefreshTest final : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Clock::setFixed(QDateTime()); }

    void stepRefreshMatchesFullRefresh_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("overview") << SelectionKind::kSystem;
        QTest::newRow("device") << SelectionKind::kDevice;
    }

    void stepRefreshMatchesFullRefresh()
    {
        QFETCH(QString, kind);
        QDateTime now(QDate(2026, 3, 1), QTime(23, 59, 0));
        DisplayFixture f;
        for (int device = 1; device <= 6; ++device) {
            for (const char* node : {"a", "b", "c"}) {
                NodeRow row(device, QString("KPV%1").arg(device), node, "",
                            *node == 'c' ? "模拟量" : "开关量");
                row.installDate = now.addDays(-device * 100).addSecs(device * 7);
                insertNode(f.connection(), row);
            }
        }
        f.db.exec("UPDATE node_record SET node_code=3, node_reg_add=11");
        ScriptedBus bus;
        MainWindow& form = *f.form;
        form.setBus(&bus);
        select(form, kind);
        form.station.openPollScope();
        Station referenceStation(f.connection());
        MainWindow reference(referenceStation, 1280);
        select(reference, kind);
        Connection other("other");
        other.open(f.db.path());
        QSqlQuery outside(other.database());
        bool refreshed = false;
        QObject::connect(&form.station, &Station::stepsDone, [&refreshed](const PollSteps& steps) {
            refreshed = steps.fullRefresh || !steps.rows.isEmpty();
        });
        QRandomGenerator random(17);
        const int answers[] = {0, 0xFFFF, 5, 100, 500};
        for (int step = 0; step < 400; ++step) {
            const int device = 1 + random.bounded(6);
            switch (random.bounded(8)) {
            case 0:
                bus.silence(device);
                break;
            case 1:
                // Columns a step writes and one it does not (the name the card shows).
                QVERIFY(outside.exec(QString("UPDATE node_record SET con_data='x%1', alarm_status='告警', "
                                             "device_name='D%1' WHERE rowid=%2")
                                         .arg(step)
                                         .arg(1 + random.bounded(18))));
                break;
            default:
                bus.answer(device, answers[random.bounded(5)]);
            }
            Clock::setFixed(now = now.addSecs(random.bounded(40) == 0 ? 36000 : 1));
            form.station.pollTick();
            QVERIFY(f.settle());
            if (!refreshed)
                continue; // a node held for another reading refreshes nothing
            ShowSelectedView(reference.panel(), ViewMode::kUpdate);
            QCOMPARE(cards(form), cards(reference));
        }
        // The alarm log grid took each new alarm's line where a reload puts it.
        const auto logCells = [&form]() {
            QStringList cells;
            const QAbstractItemModel* log = form.alarmLogGrid->model();
            for (int row = 0; row < log->rowCount(); ++row)
                cells << log->index(row, 0).data().toString() + log->index(row, 1).data().toString();
            return cells;
        };
        const QStringList appended = logCells();
        form.reloadAlarmLog();
        QVERIFY(appended.size() > 1);
        QCOMPARE(appended, logCells());
    }
};

QTEST_MAIN(StepRefreshTest)
#include "StepRefreshTest.moc"
