// Finding the database file, and the first start that makes the same file as
// spdmon-initdb.
#include "app/FirstStartDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class FirstStartTest final : public QObject
{
    Q_OBJECT
private slots:
    void searchesWorkingThenDataFolder_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("path"); // the one found, or offered when not present
        QTest::newRow("working folder first") << "" << QStringList{"w/table.db", "d/spdmon/table.db"} << "w/table.db";
        QTest::newRow("data folder") << "" << QStringList{"d/spdmon/table.db"} << "d/spdmon/table.db";
        QTest::newRow("none: offer the data folder") << "" << QStringList{} << "d/spdmon/table.db";
        QTest::newRow("requested only") << "x.db" << QStringList{"w/table.db"} << "w/x.db";
    }

    void searchesWorkingThenDataFolder()
    {
        QFETCH(QString, requested);
        QFETCH(QStringList, present);
        QFETCH(QString, path);
        QTemporaryDir root;
        const QDir dir(root.path());
        for (const QString& file : present)
            dir.mkpath(file); // a folder of that name is "there" as well
        const DatabaseSearch search = DatabaseSearch::run(requested, dir.filePath("w"), dir.filePath("d"));
        QCOMPARE(search.path, dir.filePath(path));
        QCOMPARE(search.found, present.contains(path));
    }

    void firstStartMakesWhatInitdbMakes()
    {
        QTemporaryDir root;
        const QString made = root.filePath("data/spdmon/table.db");
        FirstStartDialog dialog(DatabaseSearch{made, false, {made}});
        dialog.show();
        const auto enter = [&dialog](const char* name, const QString& text) {
            dialog.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
        };
        enter("administratorEdit", " 站长 ");
        enter("passwordEdit", "pw 1\u3000");
        enter("passwordAgainEdit", "pw 2");
        QTest::mouseClick(dialog.findChild<QPushButton*>("createButton"), Qt::LeftButton);
        QVERIFY(!dialog.findChild<QLabel*>("problemLabel")->text().isEmpty());
        QVERIFY(dialog.isVisible() && !QFile::exists(made));

        enter("passwordAgainEdit", "pw 1\u3000");
        QTest::mouseClick(dialog.findChild<QPushButton*>("createButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        // A refused creation says why, readable whole; the file there is left as it was (the dumps).
        for (const QString& path : {made, QString("/proc/table.db")}) {
            FirstStartDialog again(DatabaseSearch{path, false, {path}});
            again.show();
            for (const char* name : {"administratorEdit", "passwordEdit", "passwordAgainEdit"})
                again.findChild<QLineEdit*>(name)->setText("a");
            QTest::mouseClick(again.findChild<QPushButton*>("createButton"), Qt::LeftButton);
            QCoreApplication::processEvents();
            const auto* problem = again.findChild<QLabel*>("problemLabel");
            QVERIFY2(problem->text().contains(path) && again.rect().contains(problem->geometry()) &&
                         problem->height() >= problem->heightForWidth(problem->width()),
                     qPrintable(problem->text()));
        }
        const QString initdbMade = root.filePath("initdb.db");
        QCOMPARE(
            QProcess::execute(SPDMON_INITDB, {initdbMade, "--admin", " 站长 ", "--password", "pw 1\u3000"}),
            0);
        // Schema and rows, as the sqlite3 shell sees them.
        const auto dump = [](const QString& file) {
            QProcess sqlite;
            sqlite.start("sqlite3", {file, ".dump"});
            return sqlite.waitForFinished() ? QString::fromUtf8(sqlite.readAllStandardOutput()) : QString();
        };
        QVERIFY(dump(initdbMade).contains("'站长','pw 1\u3000'")); // trimmed as the login trims
        QCOMPARE(dump(made), dump(initdbMade));
    }
};

QTEST_MAIN(FirstStartTest)
#include "FirstStartTest.moc"
