#include "MainWindowFixture.h"

#include "link/FieldBus.h"
#include "link/SerialPortList.h"
#include "link/TForm6.h"
#include "store/AppError.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

// Records every call; the open answers with a scripted result or throws.
class FakeBus final : public FieldBus
{
public:
    int comOpen(int port, int baud, int dataBits, const QByteArray& parity, int stopBits) override
    {
        calls << QStringLiteral("open %1 %2 %3 %4 %5")
                     .arg(port)
                     .arg(baud)
                     .arg(dataBits)
                     .arg(QString::fromLatin1(parity.constData()))
                     .arg(stopBits);
        if (openThrows == 1)
            throw AppError(QStringLiteral("library fault"));
        if (openThrows == 2)
            throw std::runtime_error("library fault");
        return openResult;
    }
    void setDelay(int delay) override { calls << QStringLiteral("delay %1").arg(delay); }
    int comWork(int) override { return 0; }
    int fcn03(int, int, int, int, int*) override { return -1; }
    int fcn04(int, int, int, int, int*) override { return -1; }
    void comClose(int port) override { calls << QStringLiteral("close %1").arg(port); }

    QStringList calls;
    int openResult = 1;
    int openThrows = 0; // 1: AppError, 2: std::runtime_error
};

// A main window as after a login with the default settings row loaded.
struct SerialFixture
{
    explicit SerialFixture(int settingsRows = 1)
    {
        for (int i = 0; i < settingsRows; ++i)
            f.db.addSettings(QStringLiteral("T"), 5, 1000);
        f.form->setBus(&bus);
        MainState& s = f.form->state;
        s.ComNum = 3;
        s.ComBaud = 9600;
        s.ComDataBit = 8;
        s.ComStopBit = 1;
        s.ComParity = QStringLiteral("n");
        s.PortState = QStringLiteral("关闭");
        f.form->setStatusText(1, QStringLiteral("串口未打开"));
    }

    TForm6& dialog() { return *f.form->Form6; }

    void type(const QString& port, const QString& baud, const QString& data, const QString& stop,
              const QString& parity)
    {
        dialog().ComboBox1->setEditText(port);
        dialog().ComboBox2->setEditText(baud);
        dialog().ComboBox3->setEditText(data);
        dialog().ComboBox4->setEditText(stop);
        dialog().ComboBox5->setEditText(parity);
    }

    // soft_record's line settings, one "num baud data stop parity" per row.
    QStringList stored()
    {
        QStringList rows;
        QSqlQuery q(f.db.connection().database());
        q.exec(QStringLiteral(
            "SELECT com_num, com_baud, com_data_bit, com_stop_bit, com_parity FROM soft_record"));
        while (q.next())
            rows << QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString(), q.value(4).toString());
        return rows;
    }

    MainWindowFixture f;
    FakeBus bus;
};

const QString kUntouched = QStringLiteral("3 9600 8 1  n ");

QString focusedCombo()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (qobject_cast<QComboBox*>(w))
            return w->objectName();
    return {};
}

QStringList itemsOf(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

class SerialDialogTest final : public QObject
{
    Q_OBJECT
private slots:
    void controlsAndWindow();
    void showingShowsBareValuesThatOpenUnchanged();
    void portListIsRefilledOnEveryShowing();
    void valuesAreTakenFromTheTexts_data();
    void valuesAreTakenFromTheTexts();
    void parityLetterSurvivesReshowAndReopenRewrites();
    void emptyFieldsAreCheckedInOrder_data();
    void emptyFieldsAreCheckedInOrder();
    void conversionErrorKeepsEarlierValues_data();
    void conversionErrorKeepsEarlierValues();
    void settingsStoredOnlyWithExactlyOneRow_data();
    void settingsStoredOnlyWithExactlyOneRow();
    void openResultDecidesState_data();
    void openResultDecidesState();
    void closeUsesTheLastTypedPort();
    void serialCommandOpensDialogModallyAndCentred();
};

void SerialDialogTest::controlsAndWindow()
{
    SerialFixture s;
    TForm6& d = s.dialog();
    QCOMPARE(d.windowTitle(), QStringLiteral("串口设置"));
    QVERIFY(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(d.Label1->text(), QStringLiteral("串口号"));
    QCOMPARE(d.Label2->text(), QStringLiteral("波特率"));
    QCOMPARE(d.Label3->text(), QStringLiteral("数据位"));
    QCOMPARE(d.Label4->text(), QStringLiteral("停止位"));
    QCOMPARE(d.Label5->text(), QStringLiteral("校     验"));
    QCOMPARE(d.BitBtn1->text(), QStringLiteral("打开"));
    QCOMPARE(d.BitBtn2->text(), QStringLiteral("断开"));
    QCOMPARE(itemsOf(d.ComboBox2), QStringList({"2400", "4800", "9600", "19200", "38400"}));
    QCOMPARE(itemsOf(d.ComboBox3), QStringList({"8", "7"}));
    QCOMPARE(itemsOf(d.ComboBox4), QStringList({"1", "2"}));
    QCOMPARE(itemsOf(d.ComboBox5), QStringList({"none", "odd", "even"}));
    for (QComboBox* c : {d.ComboBox1, d.ComboBox2, d.ComboBox3, d.ComboBox4, d.ComboBox5})
        QVERIFY2(c->isEditable(), qPrintable(c->objectName()));
}

void SerialDialogTest::showingShowsBareValuesThatOpenUnchanged()
{
    SerialFixture s;
    s.dialog().show();
    QCOMPARE(s.dialog().ComboBox1->currentText(), QStringLiteral("3"));
    QCOMPARE(s.dialog().ComboBox2->currentText(), QStringLiteral("9600"));
    QCOMPARE(s.dialog().ComboBox3->currentText(), QStringLiteral("8"));
    QCOMPARE(s.dialog().ComboBox4->currentText(), QStringLiteral("1"));
    QCOMPARE(s.dialog().ComboBox5->currentText(), QStringLiteral("n"));

    s.dialog().BitBtn1->click();
    QCOMPARE(s.bus.calls, QStringList({"open 3 9600 8 n 1", "delay 64"}));
    QCOMPARE(s.f.form->state.PortState, QStringLiteral("打开"));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口3:打开"));
    QCOMPARE(s.stored(), QStringList({"3 9600 8 1 n"}));
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(s.dialog().isVisible()); // stays open after a success
}

void SerialDialogTest::portListIsRefilledOnEveryShowing()
{
    QTemporaryDir ports;
    QVERIFY(ports.isValid());
    qputenv("SPDMON_PORT_DIR", QFile::encodeName(ports.path()));
    const QString target = ports.filePath(QStringLiteral("pty-a"));
    QFile targetFile(target);
    QVERIFY(targetFile.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(target, ports.filePath(QStringLiteral("com33"))));

    SerialFixture s;
    QComboBox* list = s.dialog().ComboBox1;
    list->addItem(QStringLiteral("stale"));
    s.dialog().show();
    const QString com33 = target + QStringLiteral(" = COM33");
    QVERIFY(itemsOf(list).contains(com33));
    QVERIFY(!itemsOf(list).contains(QStringLiteral("stale")));
    QCOMPARE(list->currentText(), QStringLiteral("3"));

    // A port that appears while the dialog is hidden is listed at the next showing.
    s.dialog().hide();
    QVERIFY(QFile::link(target, ports.filePath(QStringLiteral("com40"))));
    s.dialog().show();
    QCOMPARE(itemsOf(list), serialPortNames());
    QVERIFY(itemsOf(list).contains(target + QStringLiteral(" = COM40")));

    list->setCurrentIndex(list->findText(com33));
    s.dialog().BitBtn1Click();
    QCOMPARE(s.bus.calls.value(0), QStringLiteral("open 33 9600 8 n 1"));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口33:打开"));
    qunsetenv("SPDMON_PORT_DIR");
}

void SerialDialogTest::valuesAreTakenFromTheTexts_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("stored");
    QTest::newRow("port name") << "COM12"
                               << "19200"
                               << "none"
                               << "open 12 19200 7 n 2"
                               << "12 19200 7 2 n";
    QTest::newRow("listed link") << "ttyUSB0 = COM33"
                                 << "2400"
                                 << "even"
                                 << "open 33 2400 7 e 2"
                                 << "33 2400 7 2 e";
    QTest::newRow("bare number, odd") << "5"
                                      << "38400"
                                      << "odd"
                                      << "open 5 38400 7 o 2"
                                      << "5 38400 7 2 o";
    QTest::newRow("typed baud, padded") << " 8"
                                        << " 4800"
                                        << "o"
                                        << "open 8 4800 7 o 2"
                                        << "8 4800 7 2 o";
}

void SerialDialogTest::valuesAreTakenFromTheTexts()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, parity);
    QFETCH(QString, opened);
    QFETCH(QString, stored);
    SerialFixture s;
    s.dialog().FormShow();
    s.type(port, baud, QStringLiteral("7"), QStringLiteral("2"), parity);
    s.dialog().BitBtn1Click();
    QCOMPARE(s.bus.calls, QStringList({opened, "delay 64"}));
    QCOMPARE(s.stored(), QStringList{stored});
    QCOMPARE(s.f.form->state.ComParity, parity.left(1));
}

void SerialDialogTest::parityLetterSurvivesReshowAndReopenRewrites()
{
    SerialFixture s;
    s.dialog().show();
    s.dialog().ComboBox5->setCurrentIndex(1); // "odd"
    s.dialog().BitBtn1Click();
    QCOMPARE(s.stored(), QStringList({"3 9600 8 1 o"}));
    s.dialog().hide();

    s.dialog().show();
    QCOMPARE(s.dialog().ComboBox5->currentText(), QStringLiteral("o"));
    s.dialog().ComboBox2->setCurrentIndex(3); // "19200"
    s.dialog().BitBtn1Click();
    QCOMPARE(s.bus.calls, QStringList({"open 3 9600 8 o 1", "delay 64", "open 3 19200 8 o 1", "delay 64"}));
    QCOMPARE(s.stored(), QStringList({"3 19200 8 1 o"}));
}

void SerialDialogTest::emptyFieldsAreCheckedInOrder_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("all empty") << QStringList({"", "", "", "", ""}) << "请选择串口号"
                               << "ComboBox1";
    QTest::newRow("blank port") << QStringList({" \t", "9600", "8", "1", "n"}) << "请选择串口号"
                                << "ComboBox1";
    QTest::newRow("baud before parity") << QStringList({"3", "", "8", "1", ""}) << "请选择波特率"
                                        << "ComboBox2";
    QTest::newRow("data bits") << QStringList({"3", "9600", "  ", "", "n"}) << "请选择数据位"
                               << "ComboBox3";
    QTest::newRow("stop bits") << QStringList({"3", "9600", "8", "", "n"}) << "请选择停止位"
                               << "ComboBox4";
    QTest::newRow("parity") << QStringList({"COM4", "4800", "7", "2", " "}) << "请选择校验"
                            << "ComboBox5";
}

void SerialDialogTest::emptyFieldsAreCheckedInOrder()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    SerialFixture s;
    TForm6& d = s.dialog();
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    d.BitBtn1->setFocus();
    s.type(texts[0], texts[1], texts[2], texts[3], texts[4]);
    d.BitBtn1Click();
    QCOMPARE(MessageBox::takeShown(), QStringList{message});
    QCOMPARE(focusedCombo(), focus);
    QVERIFY(s.bus.calls.isEmpty());
    QCOMPARE(s.f.form->state.ComNum, 3);
    QCOMPARE(s.f.form->state.ComBaud, 9600);
    QCOMPARE(s.f.form->state.ComParity, QStringLiteral("n"));
    QCOMPARE(s.stored(), QStringList{kUntouched});
}

void SerialDialogTest::conversionErrorKeepsEarlierValues_data()
{
    // Values are taken in the order port, baud, parity, data bits, stop bits.
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("state"); // ComNum ComBaud ComParity ComDataBit ComStopBit afterwards
    QTest::newRow("port without number")
        << QStringList({"COMx", "4800", "7", "2", "even"}) << "'' is not a valid integer value"
        << "3 9600 n 8 1";
    QTest::newRow("port number too large") << QStringList({"COM99999999999", "4800", "7", "2", "even"})
                                           << "'99999999999' is not a valid integer value"
                                           << "3 9600 n 8 1";
    QTest::newRow("baud not numeric")
        << QStringList({"COM5", "96OO", "7", "2", "even"}) << "'96OO' is not a valid integer value"
        << "5 9600 n 8 1";
    QTest::newRow("data bits") << QStringList({"5", "4800", "eight", "2", "even"})
                               << "'eight' is not a valid integer value"
                               << "5 4800 e 8 1";
    QTest::newRow("stop bits") << QStringList({"5", "4800", "7", "1.5", "odd"})
                               << "'1.5' is not a valid integer value"
                               << "5 4800 o 7 1";
}

void SerialDialogTest::conversionErrorKeepsEarlierValues()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, error);
    QFETCH(QString, state);
    SerialFixture s;
    s.type(texts[0], texts[1], texts[2], texts[3], texts[4]);
    s.dialog().BitBtn1Click();
    QCOMPARE(MessageBox::takeShown(), QStringList{error});
    const MainState& m = s.f.form->state;
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(m.ComNum)
                 .arg(m.ComBaud)
                 .arg(m.ComParity)
                 .arg(m.ComDataBit)
                 .arg(m.ComStopBit),
             state);
    QVERIFY(s.bus.calls.isEmpty());
    QCOMPARE(m.PortState, QStringLiteral("关闭"));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口未打开"));
    QCOMPARE(s.stored(), QStringList{kUntouched});
}

void SerialDialogTest::settingsStoredOnlyWithExactlyOneRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("no settings row") << 0;
    QTest::newRow("two settings rows") << 2;
}

void SerialDialogTest::settingsStoredOnlyWithExactlyOneRow()
{
    QFETCH(int, rows);
    SerialFixture s(rows);
    s.type(QStringLiteral("6"), QStringLiteral("2400"), QStringLiteral("7"), QStringLiteral("2"),
           QStringLiteral("even"));
    s.dialog().BitBtn1Click();
    QCOMPARE(s.bus.calls, QStringList({"open 6 2400 7 e 2", "delay 64"}));
    QCOMPARE(s.f.form->state.PortState, QStringLiteral("打开"));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口6:打开"));
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(s.stored(), QStringList(rows, kUntouched));
}

void SerialDialogTest::openResultDecidesState_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("throws");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("portState");
    QTest::newRow("failed") << -1 << 0 << "打开串口失败"
                            << "串口打开失败"
                            << "失败";
    QTest::newRow("zero") << 0 << 0 << ""
                          << "串口未打开"
                          << "关闭";
    QTest::newRow("two") << 2 << 0 << ""
                         << "串口未打开"
                         << "关闭";
    QTest::newRow("throws AppError") << 1 << 1 << ""
                                     << "串口未打开"
                                     << "关闭";
    QTest::newRow("throws std exception") << 1 << 2 << ""
                                          << "串口未打开"
                                          << "关闭";
}

void SerialDialogTest::openResultDecidesState()
{
    QFETCH(int, result);
    QFETCH(int, throws);
    QFETCH(QString, message);
    QFETCH(QString, status);
    QFETCH(QString, portState);
    SerialFixture s;
    s.bus.openResult = result;
    s.bus.openThrows = throws;
    s.type(QStringLiteral("COM7"), QStringLiteral("4800"), QStringLiteral("8"), QStringLiteral("1"),
           QStringLiteral("none"));
    s.dialog().BitBtn1Click();
    QCOMPARE(s.bus.calls, QStringList({"open 7 4800 8 n 1"})); // no delay without a success
    QCOMPARE(MessageBox::takeShown(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(s.f.form->statusText(1), status);
    QCOMPARE(s.f.form->state.PortState, portState);
    QCOMPARE(s.stored(), QStringList{kUntouched});
    // The typed values are not rolled back.
    QCOMPARE(s.f.form->state.ComNum, 7);
    QCOMPARE(s.f.form->state.ComBaud, 4800);
}

void SerialDialogTest::closeUsesTheLastTypedPort()
{
    SerialFixture s;
    s.dialog().BitBtn2->click(); // before any opening
    QCOMPARE(s.bus.calls, QStringList({"close 3"}));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口3:关闭"));
    QCOMPARE(s.f.form->state.PortState, QStringLiteral("关闭"));

    s.bus.openResult = -1;
    s.type(QStringLiteral("COM9"), QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("1"),
           QStringLiteral("n"));
    s.dialog().BitBtn1Click();
    QCOMPARE(s.f.form->state.PortState, QStringLiteral("失败"));
    s.dialog().BitBtn2Click();
    QCOMPARE(s.bus.calls, QStringList({"close 3", "open 9 9600 8 n 1", "close 9"}));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口9:关闭"));
    QCOMPARE(s.f.form->state.PortState, QStringLiteral("关闭"));
    QCOMPARE(MessageBox::takeShown(), QStringList({"打开串口失败"}));
}

void SerialDialogTest::serialCommandOpensDialogModallyAndCentred()
{
    SerialFixture s;
    s.f.form->state.ComNum = 4;
    bool wasForm6 = false;
    bool modal = false;
    QPoint centre;
    QString shownPort;
    whenModalOpens([&](QDialog* dialog) {
        wasForm6 = dialog == &s.dialog();
        if (!dialog)
            return;
        modal = dialog->isModal();
        centre = dialog->frameGeometry().center();
        shownPort = s.dialog().ComboBox1->currentText();
        s.dialog().BitBtn1->click();
    });
    s.f.form->BitBtn3Click();
    QVERIFY(wasForm6);
    QVERIFY(modal);
    QCOMPARE(shownPort, QStringLiteral("4"));
    const QPoint screenCentre = s.dialog().screen()->availableGeometry().center();
    QVERIFY2((centre - screenCentre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
    QCOMPARE(s.bus.calls, QStringList({"open 4 9600 8 n 1", "delay 64"}));
    QCOMPARE(s.f.form->statusText(1), QStringLiteral("串口4:打开"));
}

QTEST_MAIN(SerialDialogTest)
#include "SerialDialogTest.moc"
