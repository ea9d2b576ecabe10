#include "app/Startup.h"
#include "app/MessageBox.h"
#include "store/Connection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class StartupTest final : public QObject
{
    Q_OBJECT
private slots:
    void missingDatabaseIsReportedAndNotCreated();
    void existingDatabaseOpens();
};

void StartupTest::missingDatabaseIsReportedAndNotCreated()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    MessageBox::setRecording(true);
    Connection connection;
    const bool opened = Startup::openDatabase(connection, Startup::kDatabaseFile);
    const QStringList shown = MessageBox::takeShown();
    MessageBox::setRecording(false);
    QDir::setCurrent(previous);

    QVERIFY(!opened);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("table.db")));
    QVERIFY(shown.first().contains(QStringLiteral("spdmon-initdb")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("table.db"))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void StartupTest::existingDatabaseOpens()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.db"));
    {
        Connection creator(QStringLiteral("creator"));
        creator.create(path);
    }
    MessageBox::setRecording(true);
    Connection connection;
    QVERIFY(Startup::openDatabase(connection, path));
    QVERIFY(MessageBox::takeShown().isEmpty());
    MessageBox::setRecording(false);
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
