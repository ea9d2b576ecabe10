#include "app/TForm1.h"

#include "admin/TForm7.h"
#include "admin/TForm8.h"
#include "app/TFrame1.h"
#include "app/WindowSize.h"
#include "device/TForm5.h"
#include "display/Cards.h"
#include "display/DataPanel.h"
#include "display/DeviceTree.h"
#include "display/TreeImages.h"
#include "kit/Guarded.h"
#include "kit/KeyFilter.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "kit/TreePick.h"
#include "link/ModbusRtuBus.h"
#include "link/TForm6.h"
#include "monitor/MonitorControl.h"
#include "monitor/PollCycle.h"
#include "mqtt/MqttPublisher.h"
#include "store/FixedTexts.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/StatusTexts.h"
#include "store/Text.h"
#include "users/TForm2.h"
#include "users/TForm3.h"
#include "users/TForm4.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  bool bold = false)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

QFrame* makeSquare(QWidget* parent, const char* name, const QColor& colour, int left, int top)
{
    auto* square = new QFrame(parent);
    square->setObjectName(QString::fromLatin1(name));
    square->setGeometry(left, top, 16, 16);
    square->setFrameShape(QFrame::Box);
    square->setStyleSheet(QStringLiteral("QFrame#%1 { background-color: %2; border: 1px solid black; }")
                              .arg(QString::fromLatin1(name), colour.name()));
    return square;
}
} // namespace

TForm1::TForm1(Connection& connection, int screenWidth, QWidget* parent)
    : QMainWindow(parent), ADOConnection1(connection), ADOQuery1(new Query(connection, this)),
      ADOQuery2(new Query(connection, this)), ADOQuery3(new Query(connection, this)),
      ADOQuery4(new Query(connection, this)), ADOQuery5(new Query(connection, this)),
      m_ownBus(std::make_unique<ModbusRtuBus>()), m_bus(m_ownBus.get())
{
    setObjectName(QStringLiteral("Form1"));
    resize(WindowSize::kDesignWidth, WindowSize::kDesignHeight);
    createControls();
    ImageList1 = drawTreeImages();
    prepareTreeForImages(*TreeView1);
    m_panel = std::make_unique<DataPanel>(state, *ADOQuery4, Frame11->host(),
                                          [this]() { Frame11->updateExtent(); });

    ADOQuery1->setSql(StatusTexts::kAlarmLogSql);
    ADOQuery1->open();

    m_poll = std::make_unique<PollCycle>(state, *ADOQuery3, *ADOQuery1, m_bus);
    m_poll->setRefreshView([this]() { ShowSelectedView(*m_panel, ViewMode::kUpdate); });

    m_monitor = new MonitorControl(
        state, *ADOQuery5, MonitorControls{Edit1, Edit2, BitBtn3, BitBtn4, Timer1},
        [this]() { ShowSystemSelection(*m_panel, *ADOQuery3, *StaticText3); }, this);
    connect(m_monitor, &MonitorControl::statusTextChanged, this, &TForm1::setStatusText);

    FormCreate(screenWidth);
    createDialogs();
    startPublishing();
}

void TForm1::startPublishing()
{
    // Without mqtt.conf nothing is published and the status bar stays as it was.
    const QString path = MqttConfig::defaultPath();
    if (!QFileInfo::exists(path))
        return;
    QString problem;
    const std::optional<MqttConfig> config = MqttConfig::load(path, &problem);
    if (config)
        m_mqtt = std::make_unique<MqttPublisher>(*config);
    else
        std::fprintf(stderr, "MQTT publishing off: %s\n", qUtf8Printable(problem));
    // A file that cannot be used says why where the connection would be shown.
    auto* hint = new QLabel(m_mqtt ? m_mqtt->hint() : QStringLiteral("MQTT: ") + problem, StatusBar1);
    hint->setObjectName(QStringLiteral("MqttHint"));
    hint->setFrameShape(QFrame::Panel);
    hint->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(hint);
    if (!m_mqtt)
        return;
    connect(m_mqtt.get(), &MqttPublisher::hintChanged, hint, &QLabel::setText);
    m_poll->setEvents(m_mqtt.get());
    connect(Form5, &TForm5::nodesRemoved, m_mqtt.get(), [this](int deviceId, const QStringList& nodeNames) {
        for (const QString& name : nodeNames)
            m_mqtt->nodeRemoved(deviceId, name);
    });
}

void TForm1::createDialogs()
{
    // The dialogs exist from the start, in this order, and share the connection.
    Form2 = new TForm2(ADOConnection1, state, LoginTargets{this, BitBtn1, Edit1, Edit2});
    connect(Form2, &TForm2::statusTextChanged, this, &TForm1::setStatusText);
    Form3 = new TForm3(ADOConnection1);
    Form4 = new TForm4(ADOConnection1, state);
    Form5 = new TForm5(ADOConnection1, *ADOQuery2, ImageList1);
    connect(Form5, &TForm5::treeChanged, this, [this]() {
        rebuildDeviceTree();
        // The tree lost its selection, and cards of deleted devices must go.
        guarded([this]() { ShowSystemSelection(*m_panel, *ADOQuery3, *StaticText3); });
    });
    Form6 = new TForm6(ADOConnection1, state, m_bus);
    connect(Form6, &TForm6::statusTextChanged, this, &TForm1::setStatusText);
    Form7 = new TForm7(ADOConnection1, *ADOQuery1, *DataSource1);
    Form8 = new TForm8(ADOConnection1, state);
    connect(Form8, &TForm8::softwareNameChanged, this, &QWidget::setWindowTitle);
}

TForm1::~TForm1()
{
    // The port first, so a new start can open it at once; then the publisher,
    // which may take up to two seconds to say goodbye to its broker.
    if (state.PortState == PortState::kOpen)
        m_bus->comClose(state.ComNum);
    m_poll->setEvents(nullptr);
    m_mqtt.reset();
    // Dialogs are top-level windows of their own; the main window ends them.
    delete Form2;
    delete Form3;
    delete Form4;
    delete Form5;
    delete Form6;
    delete Form7;
    delete Form8;
}

void TForm1::createControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(central);

    const auto button = [central](const char* name, const QString& text, int left, int width) {
        auto* b = new QPushButton(text, central);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 0, width, 33);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn1 = button("BitBtn1", QStringLiteral("用户管理"), 0, 65);
    BitBtn6 = button("BitBtn6", QStringLiteral("软件名称"), 64, 65);
    BitBtn2 = button("BitBtn2", QStringLiteral("设备管理"), 128, 65);
    BitBtn5 = button("BitBtn5", QStringLiteral("告警管理"), 192, 65);
    BitBtn3 = button("BitBtn3", QStringLiteral("串口设置"), 256, 65);
    BitBtn4 = button("BitBtn4", QStringLiteral("启动监控"), 320, 70);

    StaticText4 = makeLabel(central, "StaticText4", QStringLiteral("监控周期(秒)"), 407, 10);
    StaticText4->resize(70, 17);
    Edit1 = new QLineEdit(QStringLiteral("Edit1"), central);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(480, 8, 81, 21);
    StaticText5 = makeLabel(central, "StaticText5", QStringLiteral("节点读取周期(毫秒)"), 575, 10);
    StaticText5->resize(106, 17);
    Edit2 = new QLineEdit(QStringLiteral("Edit2"), central);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(680, 8, 57, 21);
    KeyFilter::install(Edit1, [this](QChar& key) { Edit1KeyPress(key); });
    KeyFilter::install(Edit2, [this](QChar& key) { Edit2KeyPress(key); });

    Shape1 = makeSquare(central, "Shape1", Cards::colour(CardState::Normal), 429, 69);
    StaticText6 = makeLabel(central, "StaticText6", QStringLiteral("设备正常"), 447, 70);
    Shape2 = makeSquare(central, "Shape2", Cards::colour(CardState::Alarm), 534, 69);
    StaticText7 = makeLabel(central, "StaticText7", QStringLiteral("设备报警"), 551, 70);
    Shape3 = makeSquare(central, "Shape3", Cards::colour(CardState::CommLoss), 637, 69);
    StaticText8 = makeLabel(central, "StaticText8", QStringLiteral("通信异常"), 655, 70);

    StaticText1 = makeLabel(central, "StaticText1", QStringLiteral("设备列表"), 8, 72, true);
    TreeView1 = new QTreeWidget(central);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(8, 88, 185, 600);
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    StaticText3 = makeLabel(central, "StaticText3", QStringLiteral("监控数据"), 200, 72, true);
    Frame11 = new TFrame1(central);
    Frame11->setGeometry(200, 88, 513, 600);

    StaticText2 = makeLabel(central, "StaticText2", QStringLiteral("告警日志"), 720, 72, true);
    DBGrid1 = new QTableView(central);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(720, 88, 457, 600);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataSource1 = new QueryModel(*ADOQuery1, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    DBGrid1->setModel(DataSource1);
    DBGrid1->setSelectionModel(DataSource1->selection());
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    connect(DataSource1, &QAbstractItemModel::modelReset, DBGrid1,
            [this]() { DBGrid1->setColumnWidth(0, 140); });

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    const int widths[5] = {150, 150, 150, 150, 50};
    for (int i = 0; i < 5; ++i) {
        m_panels[i] = new QLabel(StatusBar1);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        m_panels[i]->setFixedWidth(widths[i]);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(m_panels[i]);
    }
    m_panels[4]->setText(QStringLiteral("V1.0"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    Timer2->start();

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TForm1::BitBtn6Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);
    TreePick::install(TreeView1, [this]() { TreeView1Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
}

void TForm1::FormCreate(int screenWidth)
{
    const WindowSize size = WindowSize::forScreenWidth(screenWidth);
    resize(size.width, size.height);
    for (QWidget* pane :
         {static_cast<QWidget*>(TreeView1), static_cast<QWidget*>(Frame11), static_cast<QWidget*>(DBGrid1)})
        pane->resize(pane->width(), size.paneHeight);
}

void TForm1::setStatusText(int panel, const QString& text)
{
    m_panels.at(panel)->setText(text);
}

QString TForm1::statusText(int panel) const
{
    return m_panels.at(panel)->text();
}

void TForm1::reloadAlarmLog()
{
    ADOQuery1->close();
    ADOQuery1->setSql(StatusTexts::kAlarmLogSql + QLatin1Char(' '));
    ADOQuery1->open();
}

void TForm1::rebuildDeviceTree()
{
    guarded([this]() {
        TreeView1->clear();
        BuildDeviceTree(*ADOQuery2, *TreeView1, ImageList1);
    });
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Login runs once the main window is on screen behind it.
        QTimer::singleShot(0, this, &TForm1::FormShow);
    }
}

void TForm1::FormShow()
{
    guarded([this]() {
        if (Form2) {
            Form2->exec();
            m_exitRequested = Form2->quitRequested();
            delete Form2;
            Form2 = nullptr;
        }
        if (m_exitRequested) {
            // The program is ending: the window must not take input meanwhile.
            setEnabled(false);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        BuildDeviceTree(*ADOQuery2, *TreeView1, ImageList1);
        StaticText3->setText(QString());
        reloadAlarmLog();
    });
}

bool TForm1::permissionGranted()
{
    if (Permission::isAdministrator(state.LoggedInPermission))
        return true;
    MessageBox::show(QStringLiteral("用户权限不够"), this);
    return false;
}

void TForm1::BitBtn1Click()
{
    guarded([this]() {
        if (BitBtn1->text() == QStringLiteral("用户管理"))
            Form3->exec();
        else
            Form4->exec();
    });
}

void TForm1::BitBtn6Click()
{
    guarded([this]() { Form8->exec(); });
}

void TForm1::BitBtn3Click()
{
    guarded([this]() { Form6->exec(); });
}

void TForm1::BitBtn2Click()
{
    guarded([this]() {
        if (!permissionGranted())
            return;
        m_monitor->stopPolling();
        BitBtn3->setEnabled(true);
        Form5->DialogKind = SelectionKind::kSystem;
        Form5->exec();
    });
}

void TForm1::BitBtn5Click()
{
    guarded([this]() {
        if (!permissionGranted())
            return;
        m_monitor->stopPolling();
        Form7->exec();
    });
}

void TForm1::TreeView1Click()
{
    // Any click or move that leaves an item selected acts on that item.
    if (TreeView1->selectedItems().isEmpty())
        return;
    guarded([this]() { SelectTreeItem(*m_panel, *ADOQuery3, *StaticText3, TreeView1->currentItem()); });
}

void TForm1::setBus(FieldBus* bus)
{
    m_bus = bus;
    m_poll->setBus(bus);
    Form6->setBus(bus);
}

void TForm1::BitBtn4Click()
{
    guarded([this]() { m_monitor->BitBtn4Click(); });
}

void TForm1::Timer1Timer()
{
    // Polling goes on while the operator reads about a failed step: the next
    // tick tries the same node again, and one box shows the latest error.
    guardedWith([this]() { m_poll->Timer1Timer(); },
                [this](const QString& text) { MessageBox::errorWithoutWaiting(text, this); });
}

void TForm1::Timer2Timer()
{
    guarded([this]() { m_monitor->Timer2Timer(); });
}

void TForm1::Edit1KeyPress(QChar& key)
{
    if (!Text::isNumericKey(key))
        key = QChar();
}

void TForm1::Edit2KeyPress(QChar& key)
{
    if (!Text::isNumericKey(key))
        key = QChar();
}
