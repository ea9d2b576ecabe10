// The real program started where there is no database: it must say which file
// is missing and how to make one, exit with a failure status once the operator
// has read the box, and leave no file behind. Runs on a virtual X screen so
// the box can be answered with a key press.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class MissingDatabaseTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void reportsAndExitsWithoutCreatingTheFile();

private:
    QProcess m_xvfb;
    QString m_display;
};

void MissingDatabaseTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs Xvfb and xdotool");
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24")});
    QVERIFY(m_xvfb.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 10000);
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xvfb.readLine()).trimmed();
}

void MissingDatabaseTest::cleanupTestCase()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished(5000);
}

void MissingDatabaseTest::reportsAndExitsWithoutCreatingTheFile()
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(SPDMON_PATH), {});
    QVERIFY(program.waitForStarted());

    const auto xdotool = [&env](const QStringList& arguments) {
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(5000);
        return tool.exitCode() == 0 ? tool.readAllStandardOutput().trimmed() : QByteArray();
    };
    // The box is up: the program waits for the operator.
    QTRY_VERIFY_WITH_TIMEOUT(
        !xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("spdmon")}).isEmpty(),
        15000);
    QVERIFY(!program.waitForFinished(300));
    QVERIFY(QDir(dir.path()).isEmpty());

    // The key goes to the virtual screen, not to whatever display the test runs under.
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY(program.exitCode() != 0);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("table.db")) && errors.contains(QStringLiteral("spdmon-initdb")),
             qPrintable(errors));
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(MissingDatabaseTest)
#include "MissingDatabaseTest.moc"
