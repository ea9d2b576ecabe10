// spdmon-initdb run as an installer would: what a new station starts with.
#include "store/AccountTable.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class InitDbTest final : public QObject
{
    Q_OBJECT
private slots:
    // The line and periods the README gives, demo devices installed before
    // today (their remaining life counts from then), and an administrator.
    void createsAStationToStartWith()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("table.db");
        QCOMPARE(QProcess::execute(INITDB_PATH, {path, "--admin", " boss ", "--password", "pw", "--demo"}), 0);
        Connection connection("made");
        connection.open(path);
        QSqlQuery made("SELECT (SELECT group_concat(com_num||' '||com_baud||' '||com_data_bit||' '||com_stop_bit"
                       "||' '||com_parity||' '||moniter_time||' '||node_read_time) FROM soft_record)||' '||"
                       "(SELECT SUM(install_date < datetime('now', 'localtime'))||'/'||COUNT(*) FROM node_record)",
                       connection.database());
        QVERIFY(made.next());
        QCOMPARE(made.value(0).toString(), "1 9600 8 1 n 5 200 12/12");
        Query query(connection);
        AccountTable(query).openLogin("boss", "pw");
        QCOMPARE(query.recordCount(), 1);
        QCOMPARE(query.fieldText("权限"), "管理员");
    }

    // A disk that fills up half way leaves no file that nobody could log in to.
    void failedCreationLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("table.db");
        const QString run = "trap '' XFSZ; ulimit -f 20; exec \"$0\" \"$1\" --admin a --password b";
        QVERIFY(QProcess::execute("sh", {"-c", run, INITDB_PATH, path}) != 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // A --com that names no port is refused like any other bad option, making
    // no file. (A file already there: FirstStartTest, the same StationFile.)
    void refusedComMakesNoFile_data()
    {
        QTest::addColumn<QString>("com");
        for (const char* com : {"abc", "-7", "0"})
            QTest::newRow(com) << QString(com);
    }

    void refusedComMakesNoFile()
    {
        QFETCH(QString, com);
        QTemporaryDir dir;
        QCOMPARE(QProcess::execute(INITDB_PATH, {dir.filePath("t.db"), "--admin", "a", "--password", "b", "--com", com}),
                 64);
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(InitDbTest)
#include "InitDbTest.moc"
