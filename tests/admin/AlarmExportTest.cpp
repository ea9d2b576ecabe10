#include "TestDatabase.h"

#include "admin/AlarmExport.h"
#include "kit/ExportFileDialog.h"

#include <QFileSystemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
QByteArray python(const char* script, const QStringList& args)
{
    QProcess process;
    process.start("/usr/bin/python3", QStringList{"-c", script} + args);
    process.waitForFinished(60000);
    return process.readAllStandardOutput().trimmed() + process.readAllStandardError();
}

// One statement run as another program would, printing the rows.
const char* const kOtherProgram = "import sqlite3, sys\nc = sqlite3.connect(sys.argv[1])\n"
                                  "print(c.execute(sys.argv[2]).fetchall())\nc.commit()\nc.close()";

// POSIX locks this process holds on the database file and its shared index,
// as the kernel lists them beside the connection's descriptors. Not from
// /proc/locks: it comes in pieces, and other programs locking meanwhile
// shift it, so that a line is read twice or not at all.
int databaseLocks(const QString& path)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System)) {
        QFile info("/proc/self/fdinfo/" + fd.fileName());
        if ((fd.symLinkTarget() == file || fd.symLinkTarget() == file + "-shm") &&
            info.open(QIODevice::ReadOnly))
            count += int(info.readAll().count("\nlock:\t"));
    }
    return count;
}
} // namespace

class AlarmExportTest final : public QObject
{
    Q_OBJECT
private slots:
    void writesEveryRecordOrNothing()
    {
        TestDatabase db;
        db.exec(
            "INSERT INTO alarm_record VALUES ('2024-03-05 17:08:09', '\"KPV1\" 告警'),"
            " ('2024-01-02 03:04:05', 'a, \"b\"\r\nc'), ('2024-02-01 00:00:00', '行一\n行二'),"
            " ('2024-04-01 00:00:00', 'x\ry'), ('2024-05-01 00:00:00', '=1+1'),"
            " ('2024-05-02 00:00:00', '+1'), ('2024-05-03 00:00:00', '-1'), ('2024-05-04 00:00:00', '@A1'),"
            " ('2024-05-05 00:00:00', char(9)), ('2024-05-06 00:00:00', char(13) || '=1,2'),"
            " ('2024-05-07 00:00:00', ' =1')");
        const int locks = databaseLocks(db.path());
        const QDir dir(db.dir());
        const QString old = dir.filePath("old.csv");
        QVERIFY(AlarmExport::write(db.connection(), old).written);
        QCOMPARE(databaseLocks(db.path()), locks);
        // Read keeping the byte-order mark; the count is of CRLF pairs, one inside a record.
        const char* const readBack =
            "import csv, json, sys\nb = open(sys.argv[1], 'rb').read()\nprint(json.dumps("
            "[b.count(b'\\r\\n')] + list(csv.reader(b.decode().splitlines(True)))))";
        const QByteArray written = python(readBack, {old});
        const QJsonArray expected{13,
                                  QJsonArray{QStringLiteral("\uFEFF告警时间"), "告警纪录"},
                                  QJsonArray{"2024-01-02 03:04:05", "a, \"b\"\r\nc"},
                                  QJsonArray{"2024-02-01 00:00:00", "行一\n行二"},
                                  QJsonArray{"2024-03-05 17:08:09", "\"KPV1\" 告警"},
                                  QJsonArray{"2024-04-01 00:00:00", "x\ry"},
                                  QJsonArray{"2024-05-01 00:00:00", "'=1+1"},
                                  QJsonArray{"2024-05-02 00:00:00", "'+1"},
                                  QJsonArray{"2024-05-03 00:00:00", "'-1"},
                                  QJsonArray{"2024-05-04 00:00:00", "'@A1"},
                                  QJsonArray{"2024-05-05 00:00:00", "'\t"},
                                  QJsonArray{"2024-05-06 00:00:00", "'\r=1,2"},
                                  QJsonArray{"2024-05-07 00:00:00", " =1"}};
        QCOMPARE(QJsonDocument::fromJson(written).array(), expected);
        QCOMPARE(AlarmExport::defaultPath(QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9))),
                 QDir::home().filePath("告警记录-20240305-170809.csv"));

        // Refused, leaving every file as it was: a missing folder, the database's log, the
        // database behind a link, a full disk (one page, mounted for this thread only) and a
        // replacement cut short by a file size limit; the content is more than both allow.
        db.exec("INSERT INTO alarm_record VALUES ('2024-06-01 00:00:00', hex(zeroblob(10000)))");
        const QByteArray full = QFile::encodeName(dir.filePath("full"));
        // Mounting needs root; elsewhere the full disk goes unchecked, and says so.
        const bool fullDisk = dir.mkdir("full") && unshare(CLONE_NEWNS) == 0 &&
                              mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                              mount("tmpfs", full.constData(), "tmpfs", 0, "size=4k") == 0;
        if (!fullDisk)
            qWarning("cannot mount a private tmpfs: the full disk is not checked");
        const auto unmount = qScopeGuard([&full] { umount(full.constData()); });
        QVERIFY(QFile::link(db.path(), dir.filePath("link.csv")));
        const QStringList before = dir.entryList(QDir::AllEntries | QDir::System);
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, small{64, RLIM_INFINITY};
        const auto restore = qScopeGuard([&unlimited] { setrlimit(RLIMIT_FSIZE, &unlimited); });
        const std::pair<QString, QString> refusals[] = {{"none/out.csv", "无法创建文件"},
                                                        {"table.db-wal", "不能覆盖数据库文件"},
                                                        {"link.csv", "不能覆盖数据库文件"},
                                                        {"full/out.csv", "写入文件出错 (磁盘已满)"},
                                                        {"old.csv", QString::fromLocal8Bit(strerror(EFBIG))}};
        for (const auto& [target, reason] : refusals) {
            if (target.startsWith("full/") && !fullDisk)
                continue;
            QVERIFY(target != "old.csv" ||
                    (signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &small) == 0));
            const QString error = AlarmExport::write(db.connection(), dir.filePath(target)).message;
            QVERIFY2(error.startsWith("导出告警记录失败") && error.contains(target) && error.contains(reason),
                     qPrintable(error));
        }
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::System), before);
        QCOMPARE(python(readBack, {old}), written);
    }

    void fileDialogKeepsDatabaseLocks()
    {
        QStandardPaths::setTestModeEnabled(true); // the file dialog saves its state
        TestDatabase db;
        db.exec("INSERT INTO alarm_record VALUES ('2024-01-01 00:00:01', 'first')");
        const int locks = databaseLocks(db.path());
        QVERIFY(locks > 0);

        ExportFileDialog question("导出告警记录", QDir(db.dir()).filePath("out.csv"));
        QSignalSpy loaded(question.dialog().findChild<QFileSystemModel*>(),
                          &QFileSystemModel::directoryLoaded);
        question.dialog().show();
        QTRY_VERIFY(loaded.contains({db.dir()}));
        QCOMPARE(databaseLocks(db.path()), locks);

        // Another program writes and closes, then this one writes: both must reach the file.
        python(kOtherProgram,
               {db.path(), "insert into alarm_record values ('2024-01-01 00:00:02', 'other')"});
        db.exec("INSERT INTO alarm_record VALUES ('2024-01-01 00:00:03', 'program')");
        QCOMPARE(python(kOtherProgram, {db.path(), "select (select * from pragma_integrity_check),"
                                                   " group_concat(告警纪录, ' ') from alarm_record"}),
                 QByteArray("[('ok', 'first other program')]"));
    }
};

QTEST_MAIN(AlarmExportTest)
#include "AlarmExportTest.moc"
