#include "link/SerialDialog.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "link/FieldBus.h"
#include "link/SerialPortList.h"
#include "store/FixedTexts.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/SettingsTable.h"
#include "store/StationState.h"
#include "store/Text.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStringEncoder>
#include <algorithm>
#include <exception>
#include <thread>

namespace {

QComboBox* makeCombo(QWidget* parent, const char* name, const QStringList& items, int top)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    // Free text as well as a pick from the list; typed text must not grow the list.
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setGeometry(96, top, 145, 22);
    return combo;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(24, top + 3, 64, 17);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 216, 75, 27);
    // Enter in a combo must not open or close the port by itself.
    button->setAutoDefault(false);
    return button;
}

// The library takes the parity as 8-bit text in the Chinese code page.
QByteArray parityBytes(const QString& parity)
{
    QStringEncoder encoder("GBK");
    return encoder.isValid() ? QByteArray(encoder.encode(parity)) : parity.toLocal8Bit();
}

// How the operation log names a line: port, baud, data bits, parity, stop bits.
QString lineText(const LineSettings& s)
{
    return QStringLiteral("串口%1 %2 %3%4%5")
        .arg(s.ComNum)
        .arg(s.ComBaud)
        .arg(s.ComDataBit)
        .arg(s.ComParity)
        .arg(s.ComStopBit);
}

QString portStatus(int port, const QString& state)
{
    return QStringLiteral("串口") + QString::number(port) + QStringLiteral(":") + state;
}

} // namespace

SerialDialog::SerialDialog(Connection& connection, LineSettings& line, FieldBus* bus, OperationLog& log)
    : m_line(line), m_log(log), m_bus(bus)
{
    setObjectName(QStringLiteral("serialDialog"));
    setWindowTitle(QStringLiteral("串口设置"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(265, 265);

    portLabel = makeLabel(this, "portLabel", QStringLiteral("串口号"), 20);
    portCombo = makeCombo(this, "portCombo", {}, 20);
    baudLabel = makeLabel(this, "baudLabel", QStringLiteral("波特率"), 58);
    baudCombo = makeCombo(this, "baudCombo",
                          {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                           QStringLiteral("19200"), QStringLiteral("38400")},
                          58);
    dataBitsLabel = makeLabel(this, "dataBitsLabel", QStringLiteral("数据位"), 96);
    dataBitsCombo = makeCombo(this, "dataBitsCombo", {QStringLiteral("8"), QStringLiteral("7")}, 96);
    stopBitsLabel = makeLabel(this, "stopBitsLabel", QStringLiteral("停止位"), 134);
    stopBitsCombo = makeCombo(this, "stopBitsCombo", {QStringLiteral("1"), QStringLiteral("2")}, 134);
    parityLabel = makeLabel(this, "parityLabel", QStringLiteral("校     验"), 172);
    parityCombo = makeCombo(this, "parityCombo",
                            {QStringLiteral("none"), QStringLiteral("odd"), QStringLiteral("even")}, 172);
    openButton = makeButton(this, "openButton", QStringLiteral("打开"), 40);
    closeButton = makeButton(this, "closeButton", QStringLiteral("断开"), 150);
    settingsQuery = new Query(connection, this);

    connect(openButton, &QPushButton::clicked, this, &SerialDialog::openPort);
    connect(closeButton, &QPushButton::clicked, this, &SerialDialog::closePort);
}

void SerialDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void SerialDialog::fillPortList(QComboBox& combo)
{
    const QStringList names = serialPortNames();
    combo.clear();
    combo.addItems(names);
    // Gateway and by-id names are longer than the field: the list opens wide
    // enough to show them whole.
    int widest = 0;
    for (const QString& name : names)
        widest = std::max(widest, combo.view()->fontMetrics().horizontalAdvance(name));
    combo.view()->setMinimumWidth(widest + 24);
}

void SerialDialog::FormShow()
{
    guarded([this]() {
        fillPortList(*portCombo);
        const LineSettings& s = m_line;
        // The bare number: it is what the opening reads back from the text.
        portCombo->setEditText(QString::number(s.ComNum));
        baudCombo->setEditText(QString::number(s.ComBaud));
        dataBitsCombo->setEditText(QString::number(s.ComDataBit));
        stopBitsCombo->setEditText(QString::number(s.ComStopBit));
        parityCombo->setEditText(s.ComParity);
    });
}

void SerialDialog::openPort()
{
    guarded([this]() {
        const struct
        {
            QComboBox* combo;
            const char16_t* message;
        } required[] = {
            {portCombo, u"请选择串口号"},     {baudCombo, u"请选择波特率"}, {dataBitsCombo, u"请选择数据位"},
            {stopBitsCombo, u"请选择停止位"}, {parityCombo, u"请选择校验"},
        };
        for (const auto& field : required) {
            if (Text::trimmed(field.combo->currentText()).isEmpty()) {
                MessageBox::show(QString::fromUtf16(field.message), this);
                field.combo->setFocus();
                return;
            }
        }

        // Every field is converted before any is taken over: a refused entry
        // must not leave polling and the next close on another port.
        const int port = Text::toInt(portNumberText(portCombo->currentText()));
        const int baud = Text::toInt(baudCombo->currentText());
        const int dataBits = Text::toInt(dataBitsCombo->currentText());
        const int stopBits = Text::toInt(stopBitsCombo->currentText());
        LineSettings& s = m_line;
        const LineSettings before = s;
        s.ComNum = port;
        s.ComBaud = baud;
        s.ComParity = parityCombo->currentText().left(1);
        s.ComDataBit = dataBits;
        s.ComStopBit = stopBits;

        int result = 0;
        try {
            result = openAside(s);
        } catch (...) {
            // A library that fails inside the open leaves everything as it was.
            return;
        }

        if (result == 1) {
            m_bus->setDelay(64);
            s.PortState = PortState::kOpen;
            const bool wasOpen = before.PortState == PortState::kOpen;
            try {
                m_log.recordWith([&]() -> std::optional<OperationLog::Entry> {
                    storeLineSettings();
                    // Pressed again on the line already open: nothing changed.
                    if (wasOpen && lineText(before) == lineText(s))
                        return std::nullopt;
                    return OperationLog::Entry{
                        QStringLiteral("打开串口"),
                        wasOpen ? lineText(before) + QStringLiteral(" -> ") + lineText(s) : lineText(s)};
                });
            } catch (...) {
                // No opening without its row: the port is closed again and the
                // line is as it was (a reopen of the same port closed the old one).
                m_bus->comClose(port);
                const bool otherStillOpen = wasOpen && before.ComNum != port;
                s = before;
                if (!otherStillOpen)
                    s.PortState = PortState::kClosed;
                emit statusTextChanged(StatusPanel::kPort, portStatus(s.ComNum, s.PortState));
                throw;
            }
            // The port given up for another is not left open behind the new one.
            if (wasOpen && before.ComNum != port)
                m_bus->comClose(before.ComNum);
            emit statusTextChanged(StatusPanel::kPort, portStatus(s.ComNum, s.PortState));
        } else if (result == -1) {
            // A gateway port says why: no connection is not a wrong setting.
            const QString why = gatewayOpenProblem(port, m_bus->openFailure(port));
            MessageBox::show(QStringLiteral("打开串口失败") + (why.isEmpty() ? QString() : u'\n' + why), this);
            emit statusTextChanged(StatusPanel::kPort, QStringLiteral("串口打开失败"));
            s.PortState = PortState::kFailed;
        }
    });
}

// A gateway may take up to three seconds to answer or not: the open runs on a
// thread of its own while the window goes on painting, taking no input.
int SerialDialog::openAside(const LineSettings& line)
{
    const QByteArray parity = parityBytes(line.ComParity);
    int result = -1;
    std::exception_ptr failure;
    QEventLoop waiting;
    std::thread opener([&]() {
        try {
            result = m_bus->comOpen(line.ComNum, line.ComBaud, line.ComDataBit, parity, line.ComStopBit);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    opener.join();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

void SerialDialog::storeLineSettings()
{
    const LineSettings& s = m_line;
    SettingsTable(*settingsQuery).storeLine(s.ComNum, s.ComBaud, s.ComDataBit, s.ComStopBit, s.ComParity);
}

void SerialDialog::closePort()
{
    guarded([this]() {
        LineSettings& s = m_line;
        s.PortState = PortState::kClosed;
        emit statusTextChanged(StatusPanel::kPort, portStatus(s.ComNum, s.PortState));
        m_bus->comClose(s.ComNum);
        m_log.record(QStringLiteral("关闭串口"), QStringLiteral("串口%1").arg(s.ComNum));
    });
}

void SerialDialog::recordLeaving()
{
    if (m_line.PortState == PortState::kOpen)
        m_log.record(QStringLiteral("关闭串口"), QStringLiteral("串口%1").arg(m_line.ComNum));
}
