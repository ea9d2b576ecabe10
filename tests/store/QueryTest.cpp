#include "TestDatabase.h"

#include "store/AppError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <atomic>
#include <thread>

class QueryTest final : public QObject
{
    Q_OBJECT
private slots:
    void parametersRowsAndFailures();
    void editPostChangesOnlyThatRowOrInserts();
    void postAfterAnotherConnectionChangedTheRow_data();
    void postAfterAnotherConnectionChangedTheRow();
    void writeWaitsBrieflyForAnotherWriter();
    void openRefusesUnusableFile();
};

namespace {
// First column of every row the statement gives, or a failure note.
QStringList rows(Connection& connection, const QString& statement)
{
    QSqlQuery q(connection.database());
    QStringList result;
    if (!q.exec(statement))
        return {QStringLiteral("failed: ") + statement};
    while (q.next())
        result << q.value(0).toString();
    return result;
}
QStringList rows(TestDatabase& db, const QString& statement)
{
    return rows(db.connection(), statement);
}

template <typename Action> QString errorOf(Action action)
{
    try {
        action();
    } catch (const AppError& e) {
        return e.text();
    }
    return QStringLiteral("no error");
}
} // namespace

void QueryTest::parametersRowsAndFailures()
{
    TestDatabase db;
    Query q(db.connection());
    // ':x' inside a literal is text, not a parameter.
    q.setSql(
        QStringLiteral("Insert into alarm_record ([告警时间],[告警纪录]) values(:告警时间,':x'||:告警纪录)"));
    q.setDateTime(QStringLiteral("告警时间"), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678)));
    q.setText(QStringLiteral("告警纪录"), QStringLiteral("KPV1[地址:1];  浪涌保护器"));
    q.execSql();

    // Stored to the whole second, in the display form, so an equal lookup finds it.
    q.setSql(QStringLiteral("select 告警时间,告警纪录 from alarm_record where 告警时间=:告警时间"));
    q.setDateTime(QStringLiteral("告警时间"), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    q.open();
    QCOMPARE(q.fieldText(QStringLiteral("告警纪录")), QStringLiteral(":xKPV1[地址:1];  浪涌保护器"));
    QCOMPARE(q.fieldText(QStringLiteral("告警时间")), QStringLiteral("2026-01-02 03:04:05"));
    QCOMPARE(q.fieldDateTime(QStringLiteral("告警时间")), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));

    db.exec(QStringLiteral(
        "INSERT INTO dd_user (用户名, 权限) VALUES ('b', '管理员'), ('a', '普通用户'), ('c', '管理员')"));
    q.setSql(QStringLiteral("select * from dd_user where 权限=:a order by 用户名"));
    q.setText(QStringLiteral("a"), QStringLiteral("管理员"));
    q.open();
    QCOMPARE(q.recordCount(), 2);
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.fieldText(QStringLiteral("用户名"));
    QCOMPARE(names, (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    // No current row, at eof or in an empty result, reads as empty columns.
    QCOMPARE(q.fieldText(QStringLiteral("用户名")), QString());

    q.setText(QStringLiteral("a"), QStringLiteral("超级管理员"));
    q.open();
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(q.fieldInt(QStringLiteral("用户名")), 0);
    QCOMPARE(q.fieldDateTime(QStringLiteral("密码")), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));

    db.exec(QStringLiteral("INSERT INTO node_record (device_id, node_name) VALUES (4, 'x')"));
    q.setSql(QStringLiteral("select * from node_record   where device_id=:device_id order by node_name"));
    q.setInt(QStringLiteral("device_id"), 4);
    q.open();
    QCOMPARE(q.fieldInt(QStringLiteral("device_id")), 4);
    QCOMPARE(q.fieldText(QStringLiteral("communication_status")), QString());
    QCOMPARE(q.fieldInt(QStringLiteral("node_data")), 0);
    QCOMPARE(q.fieldDateTime(QStringLiteral("read_time")), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    QVERIFY_THROWS_EXCEPTION(AppError, q.fieldText(QStringLiteral("no_such_column")));

    // Integer columns take integers only: anything else is refused, nothing written.
    q.setSql(QStringLiteral("Insert into node_record ([device_id],[node_reg_add]) values(9,:node_reg_add)"));
    for (const QVariant& value : {QVariant(QStringLiteral("abc")), QVariant(1.5)}) {
        q.setParam(QStringLiteral("node_reg_add"), value);
        const QString error = errorOf([&q]() { q.execSql(); });
        QVERIFY2(error.startsWith(QStringLiteral("CHECK constraint failed")), qPrintable(error));
    }
    QCOMPARE(db.count(QStringLiteral("node_record")), 1);

    q.setSql(QStringLiteral("select * from no_such_table"));
    QCOMPARE(errorOf([&q]() { q.open(); }), QStringLiteral("no such table: no_such_table"));
    q.setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
    q.setText(QStringLiteral("user1"), QStringLiteral("a"));
    QCOMPARE(errorOf([&q]() { q.open(); }), QStringLiteral("Parameter 'password1' not found"));
    QVERIFY(!q.isActive());
}

void QueryTest::editPostChangesOnlyThatRowOrInserts()
{
    TestDatabase db;
    db.exec(QStringLiteral(
        "INSERT INTO node_record (device_id, node_name, con_data) VALUES (1, 'a', 'x'), (1, 'a', 'x')"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
    q.open();
    QVERIFY_THROWS_EXCEPTION(AppError, q.setField(QStringLiteral("con_data"), QStringLiteral("y")));
    q.next();
    q.edit();
    q.setField(QStringLiteral("con_data"), QStringLiteral("正常"));
    q.setField(QStringLiteral("read_time"), QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)));
    q.setField(QStringLiteral("node_data"), 65535);
    q.post();
    // Two identical rows: exactly the second one changed.
    QCOMPARE(rows(db, QStringLiteral("SELECT con_data||'/'||ifnull(node_data,'')||'/'||ifnull(read_time,'') "
                                     "FROM node_record ORDER BY rowid")),
             (QStringList{QStringLiteral("x//"), QStringLiteral("正常/65535/2026-05-06 07:08:09")}));

    // A second post of the same row works from the values now held.
    q.edit();
    q.setField(QStringLiteral("con_data"), QStringLiteral("异常"));
    q.post();
    QCOMPARE(rows(db, QStringLiteral("SELECT con_data FROM node_record ORDER BY rowid")),
             (QStringList{QStringLiteral("x"), QStringLiteral("异常")}));

    // Deleting the last row takes exactly that row; the new last becomes current.
    QSignalSpy changed(&q, &Query::changed);
    q.deleteCurrent();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(q.fieldText(QStringLiteral("con_data")), QStringLiteral("x"));
    QCOMPARE(rows(db, QStringLiteral("SELECT con_data FROM node_record")), QStringList{QStringLiteral("x")});
    q.deleteCurrent();
    QVERIFY(q.eof());
    QVERIFY_THROWS_EXCEPTION(AppError, q.deleteCurrent());
    q.setSql(QStringLiteral("select 1 as x"));
    q.open();
    QVERIFY_THROWS_EXCEPTION(AppError, q.deleteCurrent());
    QCOMPARE(db.count(QStringLiteral("node_record")), 0);

    // On an empty result an edit inserts a row, with only the assigned column set.
    q.setSql(QStringLiteral("select * from soft_record"));
    q.open();
    q.edit();
    q.setField(QStringLiteral("soft_name"), QStringLiteral("监控软件2"));
    q.post();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(rows(db, QStringLiteral("SELECT soft_name||'/'||(com_num IS NULL) FROM soft_record")),
             QStringList{QStringLiteral("监控软件2/1")});
}

void QueryTest::postAfterAnotherConnectionChangedTheRow_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("cursor");    // after the first post
    QTest::addColumn<QStringList>("after"); // after a second post of the same value
    const QString lost = QStringLiteral(
        "Row cannot be located for updating. Some values may have been changed since it was last read.");
    QTest::newRow("another column") << "UPDATE soft_record SET moniter_time = 9"
                                    << "no error"
                                    << "B/5" << QStringList{QStringLiteral("B/9")};
    QTest::newRow("the posted column") << "UPDATE soft_record SET soft_name = 'C', moniter_time = 9" << lost
                                       << "C/9" << QStringList{QStringLiteral("B/9")};
    QTest::newRow("deleted") << "DELETE FROM soft_record" << lost << "/" << QStringList{QStringLiteral("B/")};
}

// A post finds its row by row id and the old values of the columns it sets; a
// failed one re-reads the row, so that the next attempt succeeds.
void QueryTest::postAfterAnotherConnectionChangedTheRow()
{
    QFETCH(QString, change);
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO soft_record (soft_name, moniter_time) VALUES ('A', 5)"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from soft_record"));
    q.open();
    {
        Connection other(QStringLiteral("other"));
        other.open(db.path());
        // Write-ahead log, so readers never block the writer; every commit synced (FULL).
        QCOMPARE(rows(other, QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("wal")});
        QCOMPARE(rows(other, QStringLiteral("PRAGMA synchronous")), QStringList{QStringLiteral("2")});
        QCOMPARE(rows(other, change), QStringList());
    }
    const auto post = [&q]() {
        q.edit();
        q.setField(QStringLiteral("soft_name"), QStringLiteral("B"));
        return errorOf([&q]() { q.post(); });
    };
    QTEST(post(), "error");
    QVERIFY(!q.isEditing());
    QTEST(q.fieldText(QStringLiteral("soft_name")) + QLatin1Char('/') +
              q.fieldText(QStringLiteral("moniter_time")),
          "cursor");
    QCOMPARE(post(), QStringLiteral("no error"));
    QTEST(rows(db, QStringLiteral("SELECT soft_name||'/'||ifnull(moniter_time,'') FROM soft_record")),
          "after");
}

// A write waits out a short lock of another program, and gives up on a long
// one instead of freezing the window.
void QueryTest::writeWaitsBrieflyForAnotherWriter()
{
    TestDatabase db;
    const auto addUser = [&db](const QString& name) {
        return errorOf([&]() { db.addUser(name, QStringLiteral("p"), QStringLiteral("管理员")); });
    };
    bool held = false;
    std::atomic<bool> locked = false;
    std::thread other([&db, &held, &locked]() {
        Connection connection(QStringLiteral("short"));
        connection.open(db.path());
        QSqlQuery q(connection.database());
        held = q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
               q.exec(QStringLiteral("INSERT INTO dd_user (用户名) VALUES ('held')"));
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held = held && q.exec(QStringLiteral("COMMIT"));
    });
    while (!locked)
        std::this_thread::yield();
    const QString waitedOut = addUser(QStringLiteral("w"));
    other.join();
    QVERIFY(held);
    QCOMPARE(waitedOut, QStringLiteral("no error"));

    Connection holder(QStringLiteral("long"));
    holder.open(db.path());
    QSqlQuery lock(holder.database());
    QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(addUser(QStringLiteral("lost")), QStringLiteral("database is locked"));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed()))); // not the old ten seconds
    QCOMPARE(rows(db, QStringLiteral("SELECT 用户名 FROM dd_user ORDER BY rowid")),
             (QStringList{QStringLiteral("held"), QStringLiteral("w")}));
}

void QueryTest::openRefusesUnusableFile()
{
    TestDatabase db;
    db.exec(QStringLiteral("DROP TABLE node_record"));
    db.exec(QStringLiteral("DROP TABLE alarm_record"));
    const QString missing = QDir(db.dir()).filePath(QStringLiteral("missing.db"));
    // Another program's tables of the same names, in the default rollback journal.
    const QString foreign = QDir(db.dir()).filePath(QStringLiteral("foreign.db"));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        other.setDatabaseName(foreign);
        QVERIFY(other.open());
        for (const char* table : {"soft_record (x)", "dd_user (用户名, 密码, 权限)",
                                  "node_record (device_id, node_name)", "alarm_record (告警时间, 告警纪录)"})
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("CREATE TABLE ") + QString::fromUtf8(table)));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    const auto bytes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    const QByteArray foreignBytes = bytes(foreign);
    QFile garbage(QDir(db.dir()).filePath(QStringLiteral("garbage.db")));
    QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096);
    garbage.close();
    Connection connection(QStringLiteral("refused"));
    const auto refusal = [&connection](const QString& path) {
        const QString error = errorOf([&]() { connection.open(path); });
        return connection.isOpen() ? QStringLiteral("left open") : error;
    };

    QString error = refusal(missing);
    QVERIFY2(error.contains(missing) && error.contains(QStringLiteral("spdmon-initdb")), qPrintable(error));
    QVERIFY(!QFile::exists(missing));
    error = refusal(db.path());
    QVERIFY2(error.contains(QStringLiteral("node_record")) && error.contains(QStringLiteral("alarm_record")),
             qPrintable(error));
    error = refusal(foreign);
    QVERIFY2(error.contains(QStringLiteral("soft_record.soft_name")) &&
                 error.contains(QStringLiteral("node_record.read_time")) &&
                 !error.contains(QStringLiteral("dd_user")),
             qPrintable(error));
    QCOMPARE(bytes(foreign), foreignBytes);
    QVERIFY(!QFile::exists(foreign + QStringLiteral("-wal")));
    error = refusal(garbage.fileName());
    QVERIFY2(error.contains(garbage.fileName()), qPrintable(error));
    QVERIFY(garbage.open(QIODevice::ReadOnly));
    QCOMPARE(garbage.readAll(), QByteArray(4096, 'x'));
}

QTEST_GUILESS_MAIN(QueryTest)
#include "QueryTest.moc"
