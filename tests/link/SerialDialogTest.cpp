#include "ModalDriver.h"

#include "link/FieldBus.h"
#include "link/ModbusRtuBus.h"
#include "link/SerialDialog.h"

#include <QComboBox>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Records every call; the open answers with a scripted result or throws.
class FakeBus final : public FieldBus
{
public:
    int comOpen(int port, int baud, int dataBits, const QByteArray& parity, int stopBits) override
    {
        calls << QString::asprintf("open %d %d %d %d %s", port, baud, dataBits, stopBits, parity.constData());
        if (openThrows)
            throw std::runtime_error("library fault");
        return openResult;
    }
    void setDelay(int delay) override { calls << u"delay %1"_s.arg(delay); }
    int comWork(int) override { return 0; }
    int fcn03(int, int, int, int, int*) override { return -1; }
    int fcn04(int, int, int, int, int*) override { return -1; }
    void comClose(int port) override { calls << u"close %1"_s.arg(port); }
    ReadFailure lastFailure(int) override { return ReadFailure::NoReply; }

    QStringList calls;
    int openResult = 1;
    bool openThrows = false;
};

// A main window after a login, its port closed, with a settings row holding
// 3 9600 8 1 " n ".
struct SerialFixture
{
    SerialFixture()
    {
        f.db.addSettings(u"T"_s, 5, 1000);
        f.form->setBus(&bus);
        LineSettings& s = f.form->station.line;
        std::tie(s.ComNum, s.ComBaud, s.ComDataBit, s.ComStopBit) = std::tuple(3, 9600, 8, 1);
        s.ComParity = u"n"_s;
        s.PortState = u"关闭"_s;
        f.form->setStatusText(StatusPanel::kPort, u"串口未打开"_s);
    }

    SerialDialog& dialog() { return *f.form->serialDialog; }
    QList<QComboBox*> combos() // port, baud, data bits, stop bits, parity
    {
        return {dialog().portCombo, dialog().baudCombo, dialog().dataBitsCombo, dialog().stopBitsCombo,
                dialog().parityCombo};
    }
    void type(const QString& texts) // the five texts separated by '|'
    {
        for (int i = 0; i < 5; ++i)
            combos()[i]->setEditText(texts.section(u'|', i, i));
    }
    // The main window's line settings, port state and status text.
    QString state()
    {
        const LineSettings& s = f.form->station.line;
        return QString::asprintf("%d %d %d %d ", s.ComNum, s.ComBaud, s.ComDataBit, s.ComStopBit) +
               s.ComParity + ' ' + s.PortState + ' ' + f.form->statusText(StatusPanel::kPort);
    }
    // soft_record's line settings, "num baud data stop parity" per row.
    QString stored()
    {
        return tableText(f.db,
                         u"com_num||' '||com_baud||' '||com_data_bit||' '||com_stop_bit||' '||com_parity"_s,
                         u"soft_record"_s);
    }

    FakeBus bus; // outlives the station, which closes its port on leaving
    MainWindowFixture f;
};

const QString kUntouched = u"3 9600 8 1  n "_s;
QString closed(const char* settings = "3 9600 8 1 n")
{
    return QString::fromUtf8(settings) + u" 关闭 串口未打开"_s;
}

} // namespace

class SerialDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void sessionShowsBareValuesAndStoresWhatOpened()
    {
        QTemporaryDir ports;
        qputenv("SPDMON_PORT_DIR", QFile::encodeName(ports.path()));
        const QString pty = ports.filePath(u"pty"_s);
        QVERIFY(QFile(pty).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(pty, ports.filePath(u"com33"_s)));
        SerialFixture s;
        SerialDialog& d = s.dialog();
        d.closeButton->click(); // before any opening
        QCOMPARE(s.bus.calls, QStringList{"close 3"});
        QCOMPARE(s.state(), u"3 9600 8 1 n 关闭 串口3:关闭"_s);

        d.show();
        QVERIFY(d.portCombo->findText(pty + " = COM33") >= 0);
        QStringList shown; // bare numbers: what the opening reads back from the texts
        for (const QComboBox* combo : s.combos())
            shown << combo->currentText();
        QCOMPARE(shown, QStringList({"3", "9600", "8", "1", "n"}));
        d.openButton->click();
        d.parityCombo->setCurrentIndex(1); // "odd"
        d.baudCombo->setCurrentIndex(3);   // "19200"
        d.openButton->click();
        QCOMPARE(s.bus.calls.mid(1),
                 QStringList({"open 3 9600 8 1 n", "delay 64", "open 3 19200 8 1 o", "delay 64"}));
        QCOMPARE(s.stored(), u"3 19200 8 1 o"_s);
        QCOMPARE(s.state(), u"3 19200 8 1 o 打开 串口3:打开"_s);
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The next showing lists a port added meanwhile and shows the stored parity letter.
        d.hide();
        QVERIFY(QFile::link(pty, ports.filePath(u"com40"_s)));
        d.show();
        QStringList listed; // each port once, not added to the list shown before
        for (int i = 0; i < d.portCombo->count(); ++i)
            listed << d.portCombo->itemText(i);
        QCOMPARE(listed.filter(pty), QStringList({pty + " = COM33", pty + " = COM40"}));
        QCOMPARE(d.parityCombo->currentText(), u"o"_s);
        d.portCombo->setCurrentIndex(d.portCombo->findText(pty + " = COM33"));
        d.openButton->click();
        QCOMPARE(s.bus.calls.mid(5), QStringList({"open 33 19200 8 1 o", "delay 64", "close 3"}));
        qunsetenv("SPDMON_PORT_DIR");
    }

    void opening_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<int>("result"); // of the bus's open; 9: it throws
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("stored");
        QTest::newRow("port name") << u"COM12|19200|7|2|none"_s << 1 << u"12 19200 7 2 n 打开 串口12:打开"_s
                                   << u"12 19200 7 2 n"_s;
        // Nothing stored after a failed opening, and the typed values are not rolled back.
        QTest::newRow("open fails") << u"COM7|4800|8|1|none"_s << -1 << u"7 4800 8 1 n 失败 串口打开失败"_s
                                    << kUntouched;
        QTest::newRow("open throws") << u"COM7|4800|8|1|none"_s << 9 << closed("7 4800 8 1 n") << kUntouched;
    }

    void opening()
    {
        QFETCH(QString, texts);
        QFETCH(int, result);
        QFETCH(QString, state);
        QFETCH(QString, stored);
        SerialFixture s;
        s.bus.openResult = result;
        s.bus.openThrows = result == 9;
        s.type(texts);
        s.dialog().openPort();
        QCOMPARE(MessageBox::takeShown(), result == -1 ? QStringList{u"打开串口失败"_s} : QStringList());
        QCOMPARE(s.state(), state);
        QCOMPARE(s.stored(), stored);
        // Opened with the values shown in the state; the delay is set only
        // after a success; closing uses the last typed port.
        s.dialog().closePort();
        const QString port = state.section(u' ', 0, 0);
        QStringList calls{u"open "_s + state.section(u' ', 0, 4)};
        if (result == 1)
            calls << u"delay 64"_s;
        QCOMPARE(s.bus.calls, calls << u"close "_s + port);
        QCOMPARE(s.state(), state.section(u' ', 0, 4) + u" 关闭 串口"_s + port + u":关闭"_s);
    }

    // A gateway port that cannot be opened says why, within three seconds,
    // the window painting meanwhile.
    void gatewayNotOpened()
    {
        // A full listen queue never answers a connect; the second port is free.
        QProcess listener;
        listener.start("/usr/bin/python3",
                       {"-c", "import socket, time\nl = socket.socket(); l.bind(('127.0.0.1', 0)); l.listen(0)\n"
                              "c = socket.create_connection(l.getsockname()); f = socket.socket(); f.bind(('127.0.0.1', 0))\n"
                              "print(l.getsockname()[1], f.getsockname()[1], flush=True); f.close(); time.sleep(60)"});
        QTRY_VERIFY_WITH_TIMEOUT(listener.canReadLine(), 10000);
        const QList<QByteArray> ports = listener.readLine().trimmed().split(' ');
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        QVERIFY(QDir(home.path()).mkpath(u"spdmon"_s));
        QFile conf(home.filePath(u"spdmon/ports.conf"_s));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("COM50 = modbus-tcp 127.0.0.1:" + ports.value(0) + "\nCOM51 = rtu-over-tcp 127.0.0.1:" +
                   ports.value(1) + "\nCOM52 = modbus 127.0.0.1:502\n");
        conf.close();
        ModbusRtuBus bus;
        SerialFixture s;
        s.f.form->setBus(&bus);
        s.dialog().show();
        QVERIFY(s.dialog().portCombo->findText(u"127.0.0.1:"_s + ports.value(1) + u" (RTU over TCP) = COM51"_s) >= 0);
        int ticks = 0;
        QTimer painting;
        connect(&painting, &QTimer::timeout, [&ticks]() { ++ticks; });
        painting.start(100);
        const QString host = u"127.0.0.1:"_s;
        const QStringList expected{
            u"打开串口失败\n网关 "_s + host + ports.value(0) + u" (Modbus TCP) 在 3 秒内没有应答"_s,
            u"打开串口失败\n网关 "_s + host + ports.value(1) + u" (RTU over TCP) 拒绝连接"_s,
            u"打开串口失败\n"_s + conf.fileName() +
                u" line 3: unknown kind 'modbus' (rtu-over-tcp or modbus-tcp)"_s};
        for (int port = 50; port <= 52; ++port) {
            s.type(u"COM%1|9600|8|1|none"_s.arg(port));
            QElapsedTimer clock;
            clock.start();
            s.dialog().openPort();
            QVERIFY(clock.elapsed() < 3500);
            QCOMPARE(MessageBox::takeShown(), QStringList{expected[port - 50]});
            QCOMPARE(s.state(), u"%1 9600 8 1 n 失败 串口打开失败"_s.arg(port));
            if (port == 50)
                QVERIFY2(ticks >= 20, "the window did not go on while the open waited");
        }
        s.f.form->setBus(&s.bus);
        qunsetenv("XDG_CONFIG_HOME");
        listener.kill();
        listener.waitForFinished();
    }

    void refusedTexts_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<int>("focus"); // the combo with the focus afterwards, -1 for none
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("state");
        // Empty fields are checked in order, before anything is taken over.
        QTest::newRow("all empty") << "||||" << 0 << "请选择串口号" << closed();
        QTest::newRow("baud before parity") << "3||8|1|" << 1 << "请选择波特率" << closed();
        QTest::newRow("data bits") << "3|9600|  ||n" << 2 << "请选择数据位" << closed();
        QTest::newRow("stop bits") << "3|9600|8||n" << 3 << "请选择停止位" << closed();
        QTest::newRow("parity") << "COM4|4800|7|2| " << 4 << "请选择校验" << closed();
        // A value that does not convert leaves every setting as it was.
        QTest::newRow("port without number")
            << "COMx|4800|7|2|even" << -1 << "'' is not a valid integer value" << closed();
        QTest::newRow("baud not numeric")
            << "COM5|96OO|7|2|even" << -1 << "'96OO' is not a valid integer value" << closed();
        QTest::newRow("stop bits not numeric")
            << "5|4800|7|1.5|odd" << -1 << "'1.5' is not a valid integer value" << closed();
    }

    void refusedTexts()
    {
        QFETCH(QString, texts);
        QFETCH(int, focus);
        QFETCH(QString, message);
        QFETCH(QString, state);
        SerialFixture s;
        SerialDialog& d = s.dialog();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.openButton->setFocus();
        s.type(texts);
        d.openPort();
        QCOMPARE(MessageBox::takeShown(), QStringList{message});
        QWidget* focused = QApplication::focusWidget(); // in a combo: its line edit
        while (focused && !qobject_cast<QComboBox*>(focused))
            focused = focused->parentWidget();
        QCOMPARE(focused, focus < 0 ? nullptr : s.combos()[focus]);
        QVERIFY(s.bus.calls.isEmpty());
        QCOMPARE(s.state(), state);
        QCOMPARE(s.stored(), kUntouched);
    }
};

QTEST_MAIN(SerialDialogTest)
#include "SerialDialogTest.moc"
