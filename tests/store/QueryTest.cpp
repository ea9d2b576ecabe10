#include "TestDatabase.h"

#include "store/AppError.h"
#include "store/Schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <atomic>
#include <future>
#include <thread>

namespace {
// First column of every row the statement gives, or a failure note.
QStringList rows(Connection& connection, const QString& statement)
{
    QSqlQuery q(connection.database());
    QStringList result;
    if (!q.exec(statement))
        return {"failed: " + statement};
    while (q.next())
        result << q.value(0).toString();
    return result;
}

template <typename Action> QString errorOf(Action action)
{
    try {
        action();
    } catch (const AppError& e) {
        return e.text();
    }
    return "no error";
}

QByteArray bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}
} // namespace

class QueryTest final : public QObject
{
    Q_OBJECT
private slots:
    void parametersRowsAndFailures()
    {
        TestDatabase db;
        Query q(db.connection());
        // ':x' inside a literal is text, not a parameter.
        q.setSql("Insert into alarm_record ([告警时间],[告警纪录]) values(:告警时间,':x'||:告警纪录)");
        q.setDateTime("告警时间", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678)));
        q.setText("告警纪录", "KPV1[地址:1]");
        q.execSql();
        // Stored to the whole second, in the display form, so an equal lookup finds it.
        const QDateTime stored(QDate(2026, 1, 2), QTime(3, 4, 5));
        q.setSql("select 告警时间,告警纪录 from alarm_record where 告警时间=:告警时间");
        q.setDateTime("告警时间", stored);
        q.open();
        QCOMPARE(q.fieldText("告警纪录") + q.fieldText("告警时间"), ":xKPV1[地址:1]2026-01-02 03:04:05");
        QCOMPARE(q.fieldDateTime("告警时间"), stored);

        // Empty columns, and every column without a current row, read as empty values.
        const auto empty = [&q]() {
            return q.fieldText("con_data").isEmpty() && q.fieldInt("node_data") == 0 &&
                   q.fieldDateTime("read_time") == QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        };
        db.exec("INSERT INTO node_record (device_id) VALUES (4)");
        q.setSql("select * from node_record   where device_id=:device_id order by node_name");
        q.setInt("device_id", 4);
        q.open();
        QVERIFY(q.recordCount() == 1 && empty());
        q.next();
        QVERIFY(q.eof() && empty());
        q.setInt("device_id", 5);
        q.open();
        QVERIFY(q.recordCount() == 0 && empty());

        // Integer columns take integers only: anything else is refused, nothing written.
        q.setSql("Insert into node_record ([device_id],[node_reg_add]) values(9,:node_reg_add)");
        for (const QVariant& value : {QVariant("abc"), QVariant(1.5)}) {
            q.setParam("node_reg_add", value);
            const QString error = errorOf([&q]() { q.execSql(); });
            QVERIFY2(error.startsWith("CHECK constraint failed"), qPrintable(error));
        }
        QCOMPARE(db.count("node_record"), 1);

        q.setSql("select * from no_such_table");
        QCOMPARE(errorOf([&q]() { q.open(); }), "no such table: no_such_table");
        q.setSql("select * from dd_user where (用户名=:user1)and(密码=:password1)");
        q.setText("user1", "a");
        QCOMPARE(errorOf([&q]() { q.open(); }), "Parameter 'password1' not found");
        QVERIFY(!q.isActive());
    }

    void editPostAndDeleteChangeOnlyThatRow()
    {
        TestDatabase db;
        db.exec(
            "INSERT INTO node_record (device_id, node_name, con_data) VALUES (1, 'a', 'x'), (1, 'a', 'x')");
        Query q(db.connection());
        q.setSql("select * from node_record order by  device_id ASC, node_name ASC");
        q.open();
        q.next();
        q.edit();
        q.setField("con_data", "正常");
        q.setField("read_time", QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)));
        q.setField("node_data", 65535);
        q.post();
        // Two identical rows: exactly the second one changed. A second post works
        // from the values now held.
        const QString dump = "SELECT con_data||'/'||ifnull(node_data,'')||'/'||ifnull(read_time,'') FROM "
                             "node_record ORDER BY rowid";
        QCOMPARE(db.column(dump), (QStringList{"x//", "正常/65535/2026-05-06 07:08:09"}));
        q.edit();
        q.setField("con_data", "异常");
        q.post();
        QCOMPARE(db.column(dump), (QStringList{"x//", "异常/65535/2026-05-06 07:08:09"}));

        // Deleting the last row takes exactly that row; the new last becomes current.
        QSignalSpy changed(&q, &Query::changed);
        q.deleteCurrent();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(q.fieldText("con_data"), "x");
        QCOMPARE(db.column(dump), QStringList{"x//"});
        q.deleteCurrent();
        QVERIFY(q.eof());
        QVERIFY_THROWS_EXCEPTION(AppError, q.deleteCurrent());
        q.setSql("select 1 as x");
        q.open();
        QVERIFY_THROWS_EXCEPTION(AppError, q.deleteCurrent());
        QCOMPARE(db.count("node_record"), 0);
    }

    void postAfterAnotherConnectionChangedTheRow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("rows"); // read after the first post, in the file after a second one
        const QString lost =
            "Row cannot be located for updating. Some values may have been changed since it was last read.";
        QTest::newRow("another column")
            << "UPDATE soft_record SET moniter_time = 9" << QString("no error") << "B/5 B/9";
        QTest::newRow("the posted column")
            << "UPDATE soft_record SET soft_name = 'C', moniter_time = 9" << lost << "C/9 B/9";
        QTest::newRow("deleted") << "DELETE FROM soft_record" << lost << "/ B/";
    }

    // A post finds its row by row id and the old values of the columns it sets; a
    // failed one re-reads the row, so that the next attempt succeeds.
    void postAfterAnotherConnectionChangedTheRow()
    {
        QFETCH(QString, change);
        TestDatabase db;
        db.exec("INSERT INTO soft_record (soft_name, moniter_time) VALUES ('A', 5)");
        Query q(db.connection());
        q.setSql("select * from soft_record");
        q.open();
        {
            Connection other("other");
            other.open(db.path());
            QCOMPARE(rows(other, change), QStringList());
        }
        const auto post = [&q]() {
            q.edit();
            q.setField("soft_name", "B");
            return errorOf([&q]() { q.post(); });
        };
        QTEST(post(), "error");
        QVERIFY(!q.isEditing());
        const QString cursor = q.fieldText("soft_name") + '/' + q.fieldText("moniter_time");
        QCOMPARE(post(), "no error");
        QTEST(cursor + ' ' +
                  db.column("SELECT soft_name||'/'||ifnull(moniter_time,'') FROM soft_record").join(' '),
              "rows");
    }

    // A write waits out a short lock of another program, and gives up on a long
    // one instead of freezing the window.
    void writeWaitsBrieflyForAnotherWriter()
    {
        TestDatabase db;
        const auto addUser = [&db](const QString& name) {
            return errorOf([&]() { db.addUser(name, "p", "管理员"); });
        };
        std::atomic<bool> locked = false;
        auto other = std::async(std::launch::async, [&db, &locked]() {
            Connection connection("short");
            connection.open(db.path());
            QSqlQuery q(connection.database());
            const bool held =
                q.exec("BEGIN IMMEDIATE") && q.exec("INSERT INTO dd_user (用户名) VALUES ('held')");
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return held && q.exec("COMMIT");
        });
        while (!locked)
            std::this_thread::yield();
        QCOMPARE(addUser("w"), "no error");
        QVERIFY(other.get());

        Connection holder("long");
        holder.open(db.path());
        QSqlQuery lock(holder.database());
        QVERIFY(lock.exec("BEGIN IMMEDIATE"));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(addUser("lost"), "database is locked");
        QVERIFY(timer.elapsed() < 5000); // not the old ten seconds
        QCOMPARE(db.column("SELECT 用户名 FROM dd_user ORDER BY rowid"), (QStringList{"held", "w"}));
    }

    // Another tool's file: table names spelt in capitals, a rollback journal. It
    // opens, and is then written through a write-ahead log (readers never block
    // the writer) synced at each commit (FULL).
    void opensAnotherToolsFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("table.db");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            other.setDatabaseName(path);
            QVERIFY(other.open());
            Schema::createTables(other);
            for (const QString& name : Schema::tableNames())
                QVERIFY(QSqlQuery(other).exec("ALTER TABLE " + name + " RENAME TO x") &&
                        QSqlQuery(other).exec("ALTER TABLE x RENAME TO " + name.toUpper()));
        }
        QSqlDatabase::removeDatabase("foreign");
        Connection connection("taken");
        QCOMPARE(errorOf([&]() { connection.open(path); }), "no error");
        QCOMPARE(rows(connection, "PRAGMA journal_mode") + rows(connection, "PRAGMA synchronous"),
                 (QStringList{"wal", "2"}));
    }

    void openRefusesUnusableFile_data()
    {
        QTest::addColumn<QString>("tables"); // of another program's file; "-": no file, "x": not a database
        QTest::addColumn<QStringList>("named"); // in the message besides the file; "!": not named
        QTest::newRow("missing") << "-" << QStringList{"spdmon-initdb"};
        QTest::newRow("not a database") << "x" << QStringList{"spdmon-initdb"};
        QTest::newRow("tables missing") << "soft_record (x)|dd_user (用户名, 密码, 权限)"
                                        << QStringList{"node_record", "alarm_record", "!dd_user"};
        QTest::newRow("columns missing")
            << "soft_record (x)|dd_user (用户名, 密码, 权限)|node_record (device_id, node_name)|alarm_record "
               "(告警时间, 告警纪录)"
            << QStringList{"soft_record.soft_name", "node_record.read_time", "!dd_user"};
    }

    // Refused, and left exactly as it was (no log file, journal mode kept).
    void openRefusesUnusableFile()
    {
        QFETCH(QString, tables);
        QFETCH(QStringList, named);
        QTemporaryDir dir;
        const QString path = dir.filePath("table.db");
        QFile file(path);
        if (tables == "x")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
        if (tables.size() > 1) {
            {
                QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "foreign");
                other.setDatabaseName(path);
                QVERIFY(other.open());
                for (const QString& table : tables.split('|'))
                    QVERIFY(QSqlQuery(other).exec("CREATE TABLE " + table));
            }
            QSqlDatabase::removeDatabase("foreign");
        }
        file.close();
        const QByteArray before = bytes(path);
        Connection connection("refused");
        const QString error = errorOf([&]() { connection.open(path); });
        QVERIFY(!connection.isOpen());
        QVERIFY2(error.contains(path), qPrintable(error));
        for (const QString& name : named)
            QVERIFY2(error.contains(name.mid(name.startsWith('!') ? 1 : 0)) != name.startsWith('!'),
                     qPrintable(name));
        QCOMPARE(bytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 tables == "-" ? QStringList() : QStringList{"table.db"});
    }
};

QTEST_GUILESS_MAIN(QueryTest)
#include "QueryTest.moc"
