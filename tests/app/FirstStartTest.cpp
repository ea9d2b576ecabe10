// Finding the database file, the command line, and the first start that makes
// the same file as spdmon-initdb.
#include "app/CommandLine.h"
#include "app/DatabaseSearch.h"
#include "app/FirstStartDialog.h"
#include "store/Connection.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Schema and rows of a station file, to compare two files.
QStringList dump(const QString& file)
{
    Connection connection(QStringLiteral("dump"));
    connection.open(file);
    QStringList lines;
    for (const char* statement : {"SELECT sql FROM sqlite_master ORDER BY name", "SELECT * FROM soft_record",
                                  "SELECT * FROM dd_user"}) {
        QSqlQuery query(QString::fromLatin1(statement), connection.database());
        while (query.next()) {
            for (int column = 0; query.value(column).isValid(); ++column)
                lines << query.value(column).toString();
        }
    }
    return lines;
}
} // namespace

class FirstStartTest final : public QObject
{
    Q_OBJECT
private slots:
    void searchesWorkingThenDataFolder_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("lookedAt");
        QTest::newRow("working folder first") << "" << QStringList{"w/table.db", "d/spdmon/table.db"} << "w/table.db" << 1;
        QTest::newRow("data folder") << "" << QStringList{"d/spdmon/table.db"} << "d/spdmon/table.db" << 2;
        QTest::newRow("none: offer the data folder") << "" << QStringList{} << "d/spdmon/table.db" << 2;
        QTest::newRow("requested only") << "x.db" << QStringList{"w/table.db"} << "w/x.db" << 1;
    }

    void searchesWorkingThenDataFolder()
    {
        QFETCH(QString, requested);
        QFETCH(QStringList, present);
        QFETCH(QString, path);
        QFETCH(int, lookedAt);
        QTemporaryDir root;
        const QDir dir(root.path());
        for (const QString& file : present) {
            dir.mkpath(QFileInfo(file).path());
            QFile(dir.filePath(file)).open(QIODevice::WriteOnly);
        }
        const DatabaseSearch search = DatabaseSearch::run(requested, dir.filePath("w"), dir.filePath("d"));
        QCOMPARE(search.path, dir.filePath(path));
        QCOMPARE(search.found, present.contains(path));
        QCOMPARE(search.lookedAt.size(), lookedAt);
    }

    void parsesCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("database") << QStringList{"--database", "/s/a.db"} << -1 << "/s/a.db";
        QTest::newRow("Qt's platform") << QStringList{"-platform", "xcb"} << -1 << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "spdmon " SPDMON_VERSION;
        QTest::newRow("help") << QStringList{"-h"} << 0 << "--database <PATH>";
        QTest::newRow("unknown") << QStringList{"--databse", "a"} << 64 << "databse";
        QTest::newRow("stray") << QStringList{"a.db"} << 64 << "a.db";
    }

    void parsesCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const CommandLine command = CommandLine::parse(QStringList{"spdmon"} + arguments);
        QCOMPARE(command.finished ? command.exitCode : -1, exitCode);
        QVERIFY2((command.finished ? command.message : command.database).contains(said), qPrintable(command.message));
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
        auto* create = dialog.findChild<QPushButton*>("createButton");
        enter("administratorEdit", " 站长 ");
        enter("passwordEdit", "pw 1");
        enter("passwordAgainEdit", "pw 2");
        QTest::mouseClick(create, Qt::LeftButton);
        QVERIFY(!dialog.findChild<QLabel*>("problemLabel")->text().isEmpty());
        QVERIFY(dialog.isVisible() && !QFile::exists(made));

        enter("passwordAgainEdit", "pw 1");
        QTest::mouseClick(create, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        const QString initdbMade = root.filePath("initdb.db");
        QCOMPARE(QProcess::execute(SPDMON_INITDB, {initdbMade, "--admin", " 站长 ", "--password", "pw 1"}), 0);
        const QStringList expected = dump(initdbMade);
        QVERIFY(expected.contains("站长") && expected.contains("pw 1"));
        QCOMPARE(dump(made), expected);
    }
};

QTEST_MAIN(FirstStartTest)
#include "FirstStartTest.moc"
