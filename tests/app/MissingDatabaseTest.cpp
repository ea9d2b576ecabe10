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
    // -noreset: by default the server resets whenever its last client leaves,
    // refusing connections meanwhile, and every xdotool call is such a client.
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-noreset"), QStringLiteral("-displayfd"), QStringLiteral("1"),
                QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24")});
    QVERIFY(xvfb.waitForStarted());
    const auto stopXvfb = qScopeGuard([&xvfb]() {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine(), 10000);
    // Inherited by the program and by xdotool, so the key goes to the virtual screen.
    qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    const auto xdotool = [](const QStringList& arguments) {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        return tool.waitForFinished(5000) && tool.exitCode() == 0;
    };
    // Ready once a client gets through.
    QTRY_VERIFY2_WITH_TIMEOUT(xdotool({QStringLiteral("getmouselocation")}),
                              (qgetenv("DISPLAY") + " " + xvfb.readAllStandardError()).constData(), 10000);

    QTemporaryDir dir;
    QProcess program;
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(SPDMON_PATH), {});
    QVERIFY(program.waitForStarted());
    const QStringList findBox{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("spdmon")};
    // What the program printed so far, kept for the checks at the end.
    QString errors;
    const auto state = [&program, &errors]() {
        errors += QString::fromLocal8Bit(program.readAllStandardError());
        return QStringLiteral("program %1, its errors: %2")
            .arg(program.state() == QProcess::Running ? "running" : "ended", errors);
    };
    QTRY_VERIFY2_WITH_TIMEOUT(xdotool(findBox), qPrintable(state()), 15000);
    QVERIFY(!program.waitForFinished(300)); // waits for the operator
    // With no window manager the box may not have the focus yet when it shows:
    // give it the focus and press Return until the program ends.
    for (int attempt = 0; attempt < 20 && program.state() != QProcess::NotRunning; ++attempt) {
        xdotool(findBox + QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                      QStringLiteral("key"), QStringLiteral("Return")});
        program.waitForFinished(500);
    }
    QCOMPARE(program.state(), QProcess::NotRunning);

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY(program.exitCode() != 0);
    errors += QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("table.db")) && errors.contains(QStringLiteral("spdmon-initdb")),
             qPrintable(errors));
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(MissingDatabaseTest)
#include "MissingDatabaseTest.moc"
