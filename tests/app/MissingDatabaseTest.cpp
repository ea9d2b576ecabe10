// The real program started where there is no database, on a virtual X screen
// so that its box can be answered with a key press.
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class MissingDatabaseTest final : public QObject
{
    Q_OBJECT
private slots:
    void reportsAndExitsWithoutCreatingTheFile();
};

void MissingDatabaseTest::reportsAndExitsWithoutCreatingTheFile()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QFAIL("needs Xvfb and xdotool (./test.sh installs them)");
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1024x768x24")});
    QVERIFY(xvfb.waitForStarted());
    const auto stopXvfb = qScopeGuard([&xvfb]() {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine(), 10000);
    // Inherited by the program and by xdotool, so the key goes to the virtual screen.
    qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");

    QTemporaryDir dir;
    QProcess program;
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(SPDMON_PATH), {});
    QVERIFY(program.waitForStarted());
    const auto boxIsUp = []() {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("spdmon")});
        return search.waitForFinished(5000) && search.exitCode() == 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(boxIsUp(), 15000);
    QVERIFY(!program.waitForFinished(300)); // waits for the operator
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
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
