#include "TestDatabase.h"

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <thread>

class QueryTest final : public QObject
{
    Q_OBJECT
private slots:
    void chineseParametersInsertAndSelect();
    void rowCountsAndNavigation();
    void emptyColumnsReadAsDefaults();
    void parameterInsideLiteralIsNotAParameter();
    void missingParameterFails();
    void failingStatementThrowsWithDatabaseText();
    void editPostChangesOnlyThatRow();
    void postFailsWhenAnotherConnectionChangedTheRow();
    void postFailsWhenTheRowWasDeleted();
    void editOnEmptyResultInsertsRow();
    void setFieldOutsideEditFails();
    void writeWaitsForAnotherWriter();
    void openRefusesMissingFileAndCreatesNothing();
    void openRefusesFileWithoutTables();
    void openRefusesFileThatIsNoDatabase();
    void openUsesWriteAheadLog();
};

void QueryTest::chineseParametersInsertAndSelect()
{
    TestDatabase db;
    Query q(db.connection());
    q.setSql(QStringLiteral("Insert into alarm_record ([告警时间],[告警纪录]) values(:告警时间,:告警纪录)"));
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5, 678));
    q.setDateTime(QStringLiteral("告警时间"), when);
    q.setText(QStringLiteral("告警纪录"), QStringLiteral("KPV1[地址:1];  浪涌保护器"));
    q.execSql();
    QCOMPARE(q.rowsAffected(), 1);

    q.setSql(QStringLiteral("select 告警时间,告警纪录 from alarm_record order by 告警时间"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.columnNames(), (QStringList{QStringLiteral("告警时间"), QStringLiteral("告警纪录")}));
    QCOMPARE(q.fieldText(QStringLiteral("告警纪录")), QStringLiteral("KPV1[地址:1];  浪涌保护器"));
    // Stored to the whole second, in the display form.
    QCOMPARE(q.fieldText(QStringLiteral("告警时间")), QStringLiteral("2026-01-02 03:04:05"));
    QCOMPARE(q.fieldDateTime(QStringLiteral("告警时间")), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));

    q.setSql(QStringLiteral("select * from alarm_record where 告警时间=:告警时间"));
    q.setDateTime(QStringLiteral("告警时间"), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    q.open();
    QCOMPARE(q.recordCount(), 1);
}

void QueryTest::rowCountsAndNavigation()
{
    TestDatabase db;
    db.addUser(QStringLiteral("b"), QStringLiteral("1"), QStringLiteral("管理员"));
    db.addUser(QStringLiteral("a"), QStringLiteral("2"), QStringLiteral("普通用户"));
    db.addUser(QStringLiteral("c"), QStringLiteral("3"), QStringLiteral("管理员"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from dd_user where 权限=:a order by 用户名"));
    q.setText(QStringLiteral("a"), QStringLiteral("管理员"));
    q.open();
    QCOMPARE(q.recordCount(), 2);
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.fieldText(QStringLiteral("用户名"));
    QCOMPARE(names, (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    q.next(); // past the end stays at the end
    QVERIFY(q.eof());

    q.setSql(QStringLiteral("select * from dd_user where 权限=:a"));
    q.setText(QStringLiteral("a"), QStringLiteral("超级管理员"));
    q.open();
    QCOMPARE(q.recordCount(), 0);
    QVERIFY(q.eof());
    QVERIFY_THROWS_EXCEPTION(AppError, q.fieldText(QStringLiteral("用户名")));
    q.close();
    QVERIFY(!q.isActive());
    QVERIFY_THROWS_EXCEPTION(AppError, q.first());
}

void QueryTest::emptyColumnsReadAsDefaults()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO node_record (device_id, node_name) VALUES (4, 'x')"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from node_record   where device_id=:device_id order by node_name"));
    q.setInt(QStringLiteral("device_id"), 4);
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldText(QStringLiteral("communication_status")), QString());
    QCOMPARE(q.fieldInt(QStringLiteral("node_data")), 0);
    QCOMPARE(q.fieldDateTime(QStringLiteral("read_time")), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    QCOMPARE(q.fieldInt(QStringLiteral("device_id")), 4);
    QVERIFY_THROWS_EXCEPTION(AppError, q.fieldText(QStringLiteral("no_such_column")));
}

void QueryTest::parameterInsideLiteralIsNotAParameter()
{
    TestDatabase db;
    Query q(db.connection());
    q.setSql(QStringLiteral("Insert into dd_user ([用户名],[密码],[权限]) values(':x', :p, '管理员')"));
    q.setText(QStringLiteral("p"), QStringLiteral("pw"));
    q.execSql();
    q.setSql(QStringLiteral("select * from dd_user"));
    q.open();
    QCOMPARE(q.fieldText(QStringLiteral("用户名")), QStringLiteral(":x"));
    QCOMPARE(q.fieldText(QStringLiteral("密码")), QStringLiteral("pw"));
}

void QueryTest::missingParameterFails()
{
    TestDatabase db;
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
    q.setText(QStringLiteral("user1"), QStringLiteral("a"));
    QVERIFY_THROWS_EXCEPTION(AppError, q.open());
    QVERIFY(!q.isActive());
}

void QueryTest::failingStatementThrowsWithDatabaseText()
{
    TestDatabase db;
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from no_such_table"));
    try {
        q.open();
        QFAIL("open should fail");
    } catch (const AppError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("no_such_table")), qPrintable(e.text()));
    }
}

void QueryTest::editPostChangesOnlyThatRow()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO node_record (device_id, node_name, con_data) VALUES (1, 'a', 'x')"));
    db.exec(QStringLiteral("INSERT INTO node_record (device_id, node_name, con_data) VALUES (1, 'a', 'x')"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name ASC"));
    q.open();
    q.next();
    q.edit();
    q.setField(QStringLiteral("con_data"), QStringLiteral("正常"));
    q.setField(QStringLiteral("read_time"), QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)));
    q.setField(QStringLiteral("node_data"), 65535);
    q.post();
    QCOMPARE(q.fieldText(QStringLiteral("con_data")), QStringLiteral("正常"));

    // Two identical rows: exactly one changed.
    QSqlQuery check(db.connection().database());
    QVERIFY(
        check.exec(QStringLiteral("SELECT con_data, node_data, read_time FROM node_record ORDER BY rowid")));
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("x"));
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("正常"));
    QCOMPARE(check.value(1).toInt(), 65535);
    QCOMPARE(check.value(2).toString(), QStringLiteral("2026-05-06 07:08:09"));

    // A second post of the same row works from the values now held.
    q.edit();
    q.setField(QStringLiteral("con_data"), QStringLiteral("异常"));
    q.post();
    QVERIFY(check.exec(QStringLiteral("SELECT COUNT(*) FROM node_record WHERE con_data='异常'")) &&
            check.next());
    QCOMPARE(check.value(0).toInt(), 1);
}

void QueryTest::postFailsWhenAnotherConnectionChangedTheRow()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO soft_record (soft_name, moniter_time) VALUES ('A', 5)"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from soft_record"));
    q.open();

    {
        Connection other(QStringLiteral("other"));
        other.open(db.path());
        QSqlQuery change(other.database());
        QVERIFY(change.exec(QStringLiteral("UPDATE soft_record SET moniter_time = 9")));
    }

    q.edit();
    q.setField(QStringLiteral("soft_name"), QStringLiteral("B"));
    QVERIFY_THROWS_EXCEPTION(AppError, q.post());
    QVERIFY(!q.isEditing());

    QSqlQuery check(db.connection().database());
    QVERIFY(check.exec(QStringLiteral("SELECT soft_name, moniter_time FROM soft_record")) && check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("A"));
    QCOMPARE(check.value(1).toInt(), 9);
}

void QueryTest::postFailsWhenTheRowWasDeleted()
{
    TestDatabase db;
    db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("管理员"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from dd_user"));
    q.open();
    db.exec(QStringLiteral("DELETE FROM dd_user"));
    q.edit();
    q.setField(QStringLiteral("密码"), QStringLiteral("new"));
    QVERIFY_THROWS_EXCEPTION(AppError, q.post());
    QCOMPARE(db.count(QStringLiteral("dd_user")), 0);
}

void QueryTest::editOnEmptyResultInsertsRow()
{
    TestDatabase db;
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from soft_record"));
    q.open();
    QCOMPARE(q.recordCount(), 0);
    q.edit();
    q.setField(QStringLiteral("soft_name"), QStringLiteral("监控软件2"));
    q.post();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(db.count(QStringLiteral("soft_record")), 1);

    QSqlQuery check(db.connection().database());
    QVERIFY(check.exec(QStringLiteral("SELECT soft_name, com_num FROM soft_record")) && check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("监控软件2"));
    QVERIFY(check.value(1).isNull()); // only the assigned column is set
}

void QueryTest::setFieldOutsideEditFails()
{
    TestDatabase db;
    db.addUser(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("管理员"));
    Query q(db.connection());
    q.setSql(QStringLiteral("select * from dd_user"));
    q.open();
    QVERIFY_THROWS_EXCEPTION(AppError, q.setField(QStringLiteral("密码"), QStringLiteral("x")));
}

void QueryTest::writeWaitsForAnotherWriter()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO soft_record (soft_name) VALUES ('A')"));
    const QString path = db.path();
    bool held = false;
    std::thread other([path, &held]() {
        {
            QSqlDatabase conn =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            conn.setDatabaseName(path);
            if (conn.open()) {
                QSqlQuery q(conn);
                held = q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                       q.exec(QStringLiteral("INSERT INTO dd_user (用户名) VALUES ('held')"));
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                q.exec(QStringLiteral("COMMIT"));
            }
            conn.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Query q(db.connection());
    q.setSql(QStringLiteral("Insert into dd_user ([用户名],[密码],[权限]) values(:用户名,:密码,:权限)"));
    q.setText(QStringLiteral("用户名"), QStringLiteral("w"));
    q.setText(QStringLiteral("密码"), QStringLiteral("p"));
    q.setText(QStringLiteral("权限"), QStringLiteral("管理员"));
    q.execSql(); // waits for the other writer instead of failing
    other.join();
    QVERIFY(held);
    QCOMPARE(db.count(QStringLiteral("dd_user")), 2);
}

void QueryTest::openRefusesMissingFileAndCreatesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.db"));
    Connection connection(QStringLiteral("missing"));
    try {
        connection.open(path);
        QFAIL("open should fail");
    } catch (const AppError& e) {
        QVERIFY(e.text().contains(path));
        QVERIFY(e.text().contains(QStringLiteral("spdmon-initdb")));
    }
    QVERIFY(!QFile::exists(path));
    QVERIFY(!connection.isOpen());
}

void QueryTest::openRefusesFileWithoutTables()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.db"));
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QSqlQuery(raw).exec(QStringLiteral("CREATE TABLE dd_user (x TEXT)"));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    Connection connection(QStringLiteral("notables"));
    try {
        connection.open(path);
        QFAIL("open should fail");
    } catch (const AppError& e) {
        QVERIFY(e.text().contains(QStringLiteral("node_record")));
        QVERIFY(e.text().contains(QStringLiteral("alarm_record")));
    }
    QVERIFY(!connection.isOpen());
}

void QueryTest::openRefusesFileThatIsNoDatabase()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    Connection connection(QStringLiteral("garbage"));
    QVERIFY_THROWS_EXCEPTION(AppError, connection.open(path));
    QVERIFY(!connection.isOpen());
    QCOMPARE(QFileInfo(path).size(), qint64(4096));
}

void QueryTest::openUsesWriteAheadLog()
{
    TestDatabase db;
    Connection second(QStringLiteral("second"));
    second.open(db.path());
    QSqlQuery q(second.database());
    QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
    QCOMPARE(q.value(0).toInt(), 2); // FULL
}

QTEST_GUILESS_MAIN(QueryTest)
#include "QueryTest.moc"
