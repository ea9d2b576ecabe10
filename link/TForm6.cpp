#include "link/TForm6.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "link/FieldBus.h"
#include "link/SerialPortList.h"
#include "store/FixedTexts.h"
#include "store/MainState.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStringEncoder>

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

QString portStatus(int port, const QString& state)
{
    return QStringLiteral("串口") + QString::number(port) + QStringLiteral(":") + state;
}

} // namespace

TForm6::TForm6(Connection& connection, MainState& state, FieldBus* bus) : m_state(state), m_bus(bus)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("串口设置"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(265, 265);

    Label1 = makeLabel(this, "Label1", QStringLiteral("串口号"), 20);
    ComboBox1 = makeCombo(this, "ComboBox1", {}, 20);
    Label2 = makeLabel(this, "Label2", QStringLiteral("波特率"), 58);
    ComboBox2 = makeCombo(this, "ComboBox2",
                          {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                           QStringLiteral("19200"), QStringLiteral("38400")},
                          58);
    Label3 = makeLabel(this, "Label3", QStringLiteral("数据位"), 96);
    ComboBox3 = makeCombo(this, "ComboBox3", {QStringLiteral("8"), QStringLiteral("7")}, 96);
    Label4 = makeLabel(this, "Label4", QStringLiteral("停止位"), 134);
    ComboBox4 = makeCombo(this, "ComboBox4", {QStringLiteral("1"), QStringLiteral("2")}, 134);
    Label5 = makeLabel(this, "Label5", QStringLiteral("校     验"), 172);
    ComboBox5 = makeCombo(this, "ComboBox5",
                          {QStringLiteral("none"), QStringLiteral("odd"), QStringLiteral("even")}, 172);
    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("打开"), 40);
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("断开"), 150);
    ADOQuery1 = new Query(connection, this);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
}

void TForm6::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm6::fillPortList(QComboBox& combo)
{
    const QStringList names = serialPortNames();
    combo.clear();
    combo.addItems(names);
}

void TForm6::FormShow()
{
    guarded([this]() {
        fillPortList(*ComboBox1);
        const MainState& s = m_state;
        // The bare number: it is what the opening reads back from the text.
        ComboBox1->setEditText(QString::number(s.ComNum));
        ComboBox2->setEditText(QString::number(s.ComBaud));
        ComboBox3->setEditText(QString::number(s.ComDataBit));
        ComboBox4->setEditText(QString::number(s.ComStopBit));
        ComboBox5->setEditText(s.ComParity);
    });
}

void TForm6::BitBtn1Click()
{
    guarded([this]() {
        const struct
        {
            QComboBox* combo;
            const char16_t* message;
        } required[] = {
            {ComboBox1, u"请选择串口号"}, {ComboBox2, u"请选择波特率"}, {ComboBox3, u"请选择数据位"},
            {ComboBox4, u"请选择停止位"}, {ComboBox5, u"请选择校验"},
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
        const int port = Text::toInt(portNumberText(ComboBox1->currentText()));
        const int baud = Text::toInt(ComboBox2->currentText());
        const int dataBits = Text::toInt(ComboBox3->currentText());
        const int stopBits = Text::toInt(ComboBox4->currentText());
        MainState& s = m_state;
        s.ComNum = port;
        s.ComBaud = baud;
        s.ComParity = ComboBox5->currentText().left(1);
        s.ComDataBit = dataBits;
        s.ComStopBit = stopBits;

        int result = 0;
        try {
            result =
                m_bus->comOpen(s.ComNum, s.ComBaud, s.ComDataBit, parityBytes(s.ComParity), s.ComStopBit);
        } catch (...) {
            // A library that fails inside the open leaves everything as it was.
            return;
        }

        if (result == 1) {
            m_bus->setDelay(64);
            s.PortState = PortState::kOpen;
            emit statusTextChanged(1, portStatus(s.ComNum, s.PortState));
            storeLineSettings();
        } else if (result == -1) {
            MessageBox::show(QStringLiteral("打开串口失败"), this);
            emit statusTextChanged(1, QStringLiteral("串口打开失败"));
            s.PortState = PortState::kFailed;
        }
    });
}

void TForm6::storeLineSettings()
{
    ADOQuery1->close();
    ADOQuery1->setSql(QStringLiteral("select * from soft_record "));
    ADOQuery1->open();
    // With no settings row, or an ambiguous table, there is nothing safe to update.
    if (ADOQuery1->recordCount() != 1)
        return;
    const MainState& s = m_state;
    ADOQuery1->first();
    ADOQuery1->edit();
    ADOQuery1->setField(QStringLiteral("com_num"), s.ComNum);
    ADOQuery1->setField(QStringLiteral("com_baud"), s.ComBaud);
    ADOQuery1->setField(QStringLiteral("com_data_bit"), s.ComDataBit);
    ADOQuery1->setField(QStringLiteral("com_stop_bit"), s.ComStopBit);
    ADOQuery1->setField(QStringLiteral("com_parity"), s.ComParity);
    ADOQuery1->post();
    ADOQuery1->close();
}

void TForm6::BitBtn2Click()
{
    guarded([this]() {
        MainState& s = m_state;
        s.PortState = PortState::kClosed;
        emit statusTextChanged(1, portStatus(s.ComNum, s.PortState));
        m_bus->comClose(s.ComNum);
    });
}
