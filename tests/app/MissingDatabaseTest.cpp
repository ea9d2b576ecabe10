// The real program started where there is no database, on a virtual X screen
// so that its first-start box can be answered with a key press: Escape, the
// operator's "no", creates nothing.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class MissingDatabaseTest final : public QObject
{
    Q_OBJECT
private slots:
    void reportsAndExitsWithoutCreatingTheFile()
    {
        QVERIFY2(!QStandardPaths::findExecutable("Xvfb").isEmpty() &&
                     !QStandardPaths::findExecutable("xdotool").isEmpty(),
                 "needs Xvfb and xdotool (./test.sh installs them)");
        // -noreset: by default the server resets whenever its last client leaves,
        // refusing connections meanwhile, and every xdotool call is such a client.
        QProcess xvfb;
        xvfb.start("Xvfb", {"-noreset", "-displayfd", "1", "-screen", "0", "1024x768x24"});
        const auto stopXvfb = qScopeGuard([&xvfb]() {
            xvfb.terminate();
            xvfb.waitForFinished(5000);
        });
        QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine(), 10000);
        // Inherited by the program and by xdotool, so the key goes to the virtual screen.
        qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
        const auto xdotool = [](const QStringList& arguments) {
            QProcess tool;
            tool.start("xdotool", arguments);
            return tool.waitForFinished(5000) && tool.exitCode() == 0;
        };
        // Ready once a client gets through.
        QTRY_VERIFY2_WITH_TIMEOUT(xdotool({"getmouselocation"}), xvfb.readAllStandardError().constData(),
                                  10000);

        QTemporaryDir dir;
        QProcess program;
        program.setWorkingDirectory(dir.path());
        program.start(SPDMON_PATH, {"-platform", "xcb"}); // Qt's own option gets past spdmon's parsing
        const QStringList findBox{"search", "--onlyvisible", "--name", "spdmon"};
        QString errors; // what the program printed so far
        const auto state = [&program, &errors]() {
            errors += QString::fromLocal8Bit(program.readAllStandardError());
            return QString("program %1, its errors: %2").arg(program.state() ? "running" : "ended", errors);
        };
        QTRY_VERIFY2_WITH_TIMEOUT(xdotool(findBox), qPrintable(state()), 15000);
        QVERIFY(!program.waitForFinished(300)); // waits for the operator
        // With no window manager the box may not have the focus yet when it shows:
        // give it the focus and press Escape until the program ends.
        for (int attempt = 0; attempt < 20 && program.state() != QProcess::NotRunning; ++attempt) {
            xdotool(findBox + QStringList{"windowfocus", "--sync", "key", "Escape"});
            program.waitForFinished(500);
        }
        QCOMPARE(program.state(), QProcess::NotRunning);
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() != 0);
        state();
        const QString offered = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/spdmon";
        QVERIFY2(errors.contains(dir.filePath("table.db")) && errors.contains(offered + "/table.db") &&
                     errors.contains("spdmon-initdb"),
                 qPrintable(errors));
        QVERIFY(QDir(dir.path()).isEmpty() && !QFileInfo::exists(offered));
    }
};

QTEST_GUILESS_MAIN(MissingDatabaseTest)
#include "MissingDatabaseTest.moc"
