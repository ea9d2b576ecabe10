// The row rules the windows rely on, at the level of each table's statements.
#include "TestDatabase.h"

#include "store/AccountTable.h"
#include "store/Schema.h"
#include "store/SettingsTable.h"

#include <QProcess>

using namespace Qt::StringLiterals;

class TablesTest final : public QObject
{
    Q_OBJECT
private slots:
    void settingsWrites_data()
    {
        QTest::addColumn<int>("rows"); // A and B, in that order
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("left"); // name/port/parity/periods per row; + written
        QTest::newRow("name, no row") << 0 << u"name"_s << u"N///| +"_s;
        QTest::newRow("name, two rows") << 2 << u"name"_s << u"N/3/ n /1|100 B/3/ n /2|200 +"_s;
        QTest::newRow("periods, no row") << 0 << u"periods"_s << u"///7|700 +"_s;
        QTest::newRow("periods, two rows") << 2 << u"periods"_s << u"A/3/ n /7|700 B/3/ n /2|200 +"_s;
        QTest::newRow("line, no row") << 0 << u"line"_s << u" -"_s;
        QTest::newRow("line, one row") << 1 << u"line"_s << u"A/5/e/1|100 +"_s;
        QTest::newRow("line, two rows") << 2 << u"line"_s << u"A/3/ n /1|100 B/3/ n /2|200 -"_s;
    }

    void settingsWrites()
    {
        QFETCH(int, rows);
        QFETCH(QString, write);
        TestDatabase db;
        for (int row = 1; row <= rows; ++row)
            db.addSettings(QString(QChar(u'A' + row - 1)), row, row * 100);
        Query query(db.connection());
        SettingsTable settings(query);
        bool written = true;
        if (write == "name")
            settings.storeName("N");
        else if (write == "periods")
            settings.storePeriods(7, 700);
        else
            written = settings.storeLine(5, 4800, 7, 2, "e");
        const QString row =
            "printf('%s/%s/%s/%s|%s', soft_name, com_num, com_parity, moniter_time, node_read_time)";
        QTEST(tableText(db, row, "soft_record") + (written ? " +" : " -"), "left");
    }

    void lastAdministrator_data()
    {
        QTest::addColumn<QString>("accounts"); // in table order
        QTest::addColumn<QString>("named");    // whose accounts would go
        QTest::addColumn<bool>("refused");
        QTest::newRow("the one administrator") << u"admin/管理员 op/普通用户"_s << u"admin"_s << true;
        QTest::newRow("one of two administrators") << u"admin/管理员 boss/管理员"_s << u"admin"_s << false;
        QTest::newRow("ordinary namesake of the one administrator")
            << u"boss/管理员 boss/普通用户"_s << u"boss"_s << true;
        QTest::newRow("no administrator to count") << u"root/超级管理员 op/普通用户"_s << u"op"_s << false;
    }

    void lastAdministrator()
    {
        QFETCH(QString, accounts);
        QFETCH(QString, named);
        TestDatabase db;
        for (const QString& account : accounts.split(' '))
            db.addUser(account.section('/', 0, 0), "p", account.section('/', 1));
        Query query(db.connection());
        AccountTable table(query);
        table.openNamed(named);
        QTEST(table.lastAdministratorWouldGo(), "refused");
    }
    // An older file, as other programs know it, gains the tables added beside
    // the four on opening; the four themselves stay exactly as they were.
    void olderFileGainsAddedTablesOnly()
    {
        QVERIFY(!Schema::addedTableNames().isEmpty());
        TestDatabase db;
        db.addSettings("A", 5, 100);
        db.addUser("admin", "secret", "管理员");
        for (const QString& table : Schema::addedTableNames())
            db.exec("DROP TABLE " + table);
        const auto dump = [&db] {
            QProcess sqlite;
            sqlite.start("sqlite3", {db.path(), ".dump " + Schema::tableNames().join(' ')});
            return sqlite.waitForFinished() ? sqlite.readAllStandardOutput() : QByteArray();
        };
        const QByteArray before = dump();
        QVERIFY(before.contains("INSERT INTO dd_user"));
        db.connection().close();
        db.connection().open(db.path());
        QCOMPARE(Schema::missingTables(db.connection().database()), QStringList());
        for (const QString& table : Schema::addedTableNames())
            QCOMPARE(db.count(table), 0);
        QCOMPARE(dump(), before);
    }
    // A surge history from before implausible counts were kept keeps its
    // rows and indexes and takes the new kind.
    void olderSurgeHistoryTakesImplausibleCounts()
    {
        TestDatabase db;
        db.exec("DROP TABLE surge_event");
        db.exec("CREATE TABLE surge_event (id INTEGER PRIMARY KEY, device_id, device_name, event_time, "
                "gap_start, "
                "count_before, count_after, surges, kind TEXT CHECK (kind IN ('surge', 'reset')))");
        const QString insert =
            "INSERT INTO surge_event (device_id, event_time, count_before, count_after, surges, "
            "kind) VALUES (2, datetime('now'), %1)";
        db.exec(insert.arg("1, 4, 3, 'surge'"));
        db.connection().close();
        db.connection().open(db.path());
        db.exec(insert.arg("4, 65535, 0, 'implausible'"));
        for (const QString index : {"surge_event_time", "surge_event_device"})
            QCOMPARE(db.column("SELECT sum(count_after) FROM surge_event INDEXED BY " + index),
                     QStringList{"65539"});
    }
};

QTEST_MAIN(TablesTest)
#include "TablesTest.moc"
