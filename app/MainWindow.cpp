#include "app/MainWindow.h"

#include "admin/AlarmDialog.h"
#include "admin/OperationLogDialog.h"
#include "admin/SoftwareNameDialog.h"
#include "app/ActiveAlarmPanel.h"
#include "app/CardFrame.h"
#include "app/Station.h"
#include "app/WindowSize.h"
#include "device/DeviceDialog.h"
#include "display/Cards.h"
#include "display/DataPanel.h"
#include "display/DeviceTree.h"
#include "display/StepRefresh.h"
#include "display/TreeImages.h"
#include "history/HistoryWindow.h"
#include "kit/Guarded.h"
#include "kit/KeyFilter.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "kit/TreePick.h"
#include "link/SerialDialog.h"
#include "monitor/BusCounters.h"
#include "monitor/BusDiagnosticsDialog.h"
#include "monitor/MonitorControl.h"
#include "mqtt/MqttPublisher.h"
#include "notice/AlarmAlert.h"
#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/FixedTexts.h"
#include "store/OperationLog.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/Text.h"
#include "users/LoginDialog.h"
#include "users/PasswordDialog.h"
#include "users/UserDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

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

MainWindow::MainWindow(Station& shown, int screenWidth, QWidget* parent) : QMainWindow(parent), station(shown)
{
    setObjectName(QStringLiteral("mainWindow"));
    m_operationLog = std::make_unique<OperationLog>(station.dbConnection, station.session);
    resize(WindowSize::kDesignWidth, WindowSize::kDesignHeight);
    createControls();
    treeImages = drawTreeImages();
    prepareTreeForImages(*deviceTree);
    m_panel = std::make_unique<DataPanel>(station.selection, station.viewQuery, cardFrame->host(),
                                          [this]() { cardFrame->updateExtent(); });

    connect(&station, &Station::stepsDone, this, &MainWindow::showSteps);
    connect(&station, &Station::scopeFailed, this, [](const QString& error) { MessageBox::error(error); });

    m_monitor = new MonitorControl(
        station.line, station.poll, station.settingsQuery,
        MonitorControls{periodEdit, readPeriodEdit, serialButton, monitorButton},
        [this]() { showSystemSelection(); }, this, *m_operationLog);
    connect(m_monitor, &MonitorControl::statusTextChanged, this, &MainWindow::setStatusText);
    connect(m_monitor, &MonitorControl::started, &station, &Station::startPolling);
    connect(m_monitor, &MonitorControl::stopped, &station, &Station::stopPolling);
    // After the station started: it knows then whether line mode is on.
    connect(m_monitor, &MonitorControl::started, this,
            [this]() { lineModeLabel->setVisible(station.lineMode()); });
    connect(m_monitor, &MonitorControl::stopped, this, [this]() { lineModeLabel->hide(); });

    FormCreate(screenWidth);
    createDialogs();
    showPublishing();
    showBusDiagnostics();
    createActiveAlarms();
}

// The list goes between the toolbar and the captions, where nothing else is.
void MainWindow::createActiveAlarms()
{
    activeAlarms = new ActiveAlarmPanel(station.dbConnection, centralWidget());
    activeAlarms->setGeometry(8, 35, 1169, 34);
    // Either permission may acknowledge; the user is recorded with it.
    connect(
        activeAlarms, &ActiveAlarmPanel::acknowledgeRequested, this,
        [this](const AlarmOccurrence& picked) { acknowledgeAlarms({picked}, station.session.LoggedInUser); });
    connect(activeAlarms, &ActiveAlarmPanel::acknowledgeAllRequested, this,
            [this](const QVector<AlarmOccurrence>& listed) {
                acknowledgeAlarms(listed, station.session.LoggedInUser);
            });
    // Queued from the worker: after the step or acknowledgement that caused it.
    connect(&station, &Station::alarmStatesChanged, this, &MainWindow::reloadActiveAlarms);
    connect(&station, &Station::alarmRaised, this, &MainWindow::alarmRaised);
    connect(&station, &Station::acknowledgeFailed, this,
            [this](const QString& text) { MessageBox::errorWithoutWaiting(text, this); });
    // The sound and the notice follow the states; a notice's action acknowledges.
    connect(this, &MainWindow::unacknowledgedAlarmsChanged, alarmAlert, &AlarmAlert::unacknowledgedChanged);
    connect(this, &MainWindow::alarmRaised, alarmAlert, &AlarmAlert::alarmRaised);
    connect(alarmAlert, &AlarmAlert::acknowledgeRequested, this, [this](const AlarmOccurrence& announced) {
        acknowledgeAlarms({announced}, station.session.LoggedInUser);
    });
    // Deleted or moved equipment has ended its alarms in the file.
    connect(deviceDialog, &DeviceDialog::nodesRemoved, &station, &Station::reloadAlarmStates);
}

void MainWindow::acknowledgeAlarms(const QVector<AlarmOccurrence>& shown, const QString& user)
{
    station.acknowledgeAlarms(shown, user);
}

void MainWindow::reloadActiveAlarms()
{
    guarded([this]() {
        activeAlarms->reload();
        alarmAlert->keepNotices(activeAlarms->unacknowledged());
        markUnacknowledgedCards();
        const int count = activeAlarms->unacknowledgedCount();
        if (count != m_unacknowledged) {
            m_unacknowledged = count;
            emit unacknowledgedAlarmsChanged(count);
        }
    });
}

// Device cards exist only in the system overview; cards are made anew only
// when the selection changes, and then get their marks back here.
void MainWindow::markUnacknowledgedCards()
{
    const QSet<int> wanted = activeAlarms->unacknowledgedDevices();
    const bool overview = m_panel->shownKind == SelectionKind::kSystem;
    for (const int device : wanted + m_markedDevices) {
        const int card = m_panel->overview.cardOfDevice.value(device);
        if (card > 0 && overview)
            Cards::setUnacknowledgedMark(*m_panel, card, wanted.contains(device));
    }
    m_markedDevices = wanted;
}

void MainWindow::showBusDiagnostics()
{
    // The counters live with the poll step; the window shows the copies they
    // send and empties its own at once, as the station no longer tells older counts.
    const auto reset = [this]() {
        station.resetCounters();
        diagnosticsDialog->clear();
        showCardTips();
    };
    connect(m_monitor, &MonitorControl::started, this, reset);
    connect(diagnosticsDialog, &BusDiagnosticsDialog::resetRequested, this, reset);
    connect(&station, &Station::countersChanged, this, [this](const DeviceCounters& changed) {
        diagnosticsDialog->showCounters(changed);
        Cards::setTipsOf(*m_panel, changed.deviceId, cardTip(changed.deviceId));
    });
}

QString MainWindow::cardTip(int deviceId) const
{
    const DeviceCounters counters = diagnosticsDialog->counters(deviceId);
    return counters.requests > 0 ? counters.summary() : QString();
}

void MainWindow::showCardTips()
{
    Cards::setTips(*m_panel, [this](int deviceId) { return cardTip(deviceId); });
}

void MainWindow::showPublishing()
{
    // Without mqtt.conf nothing is published and the status bar stays as it was.
    MqttPublisher* publisher = station.publisher();
    if (!publisher && station.publishingProblem().isEmpty())
        return;
    // A file that cannot be used says why where the connection would be shown.
    auto* hint = new QLabel(
        publisher ? publisher->hint() : QStringLiteral("MQTT: ") + station.publishingProblem(), statusLine);
    hint->setObjectName(QStringLiteral("MqttHint"));
    hint->setFrameShape(QFrame::Panel);
    hint->setFrameShadow(QFrame::Sunken);
    statusLine->addWidget(hint);
    if (!publisher)
        return;
    connect(publisher, &MqttPublisher::hintChanged, hint, &QLabel::setText);
    connect(deviceDialog, &DeviceDialog::nodesRemoved, publisher,
            [publisher](int deviceId, const QStringList& nodeNames) {
                for (const QString& name : nodeNames)
                    publisher->nodeRemoved(deviceId, name);
            });
    connect(deviceDialog, &DeviceDialog::deviceRemoved, publisher, &MqttPublisher::deviceRemoved);
    // A device added or renamed is announced once, not at each reading.
    connect(deviceDialog, &DeviceDialog::treeChanged, publisher,
            [this]() { guarded([this]() { station.publishDevices(); }); });
}

void MainWindow::showSystemSelection()
{
    ShowSystemSelection(*m_panel, *viewCaption);
    markUnacknowledgedCards();
    station.openPollScope();
    showCardTips();
}

void MainWindow::createDialogs()
{
    // The dialogs exist from the start, in this order, and share the connection.
    Connection& connection = station.dbConnection;
    OperationLog& log = *m_operationLog;
    loginDialog = new LoginDialog(connection, station.session, station.line, station.poll, log);
    connect(loginDialog, &LoginDialog::statusTextChanged, this, &MainWindow::setStatusText);
    connect(loginDialog, &LoginDialog::settingsLoaded, this, &MainWindow::showLoadedSettings);
    userDialog = new UserDialog(connection, log);
    passwordDialog = new PasswordDialog(connection, station.session, log);
    deviceDialog = new DeviceDialog(connection, station.treeQuery, treeImages, log);
    connect(deviceDialog, &DeviceDialog::treeChanged, this, [this]() {
        rebuildDeviceTree();
        // The tree lost its selection, and cards of deleted devices must go.
        guarded([this]() { showSystemSelection(); });
    });
    serialDialog = new SerialDialog(connection, station.line, station.bus(), log);
    connect(serialDialog, &SerialDialog::statusTextChanged, this, &MainWindow::setStatusText);
    alarmDialog = new AlarmDialog(connection, station.alarmLogQuery, *alarmLogModel, log);
    softwareNameDialog = new SoftwareNameDialog(connection, station.session, log);
    connect(softwareNameDialog, &SoftwareNameDialog::softwareNameChanged, this, &QWidget::setWindowTitle);
    operationLogDialog = new OperationLogDialog(connection);
    historyWindow = new HistoryWindow(connection);
    diagnosticsDialog = new BusDiagnosticsDialog;
}

void MainWindow::showLoadedSettings(const QString& softwareName, bool administrator, int monitorPeriod,
                                    int nodeReadPeriod)
{
    setWindowTitle(softwareName);
    usersButton->setText(administrator ? QStringLiteral("用户管理") : QStringLiteral("修改密码"));
    periodEdit->setText(QString::number(monitorPeriod));
    readPeriodEdit->setText(QString::number(nodeReadPeriod));
}

MainWindow::~MainWindow()
{
    // Dialogs are top-level windows of their own; the main window ends them.
    delete loginDialog;
    delete userDialog;
    delete passwordDialog;
    delete deviceDialog;
    delete serialDialog;
    delete alarmDialog;
    delete softwareNameDialog;
    delete historyWindow;
    delete diagnosticsDialog;
    delete operationLogDialog;
}

void MainWindow::createControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("mainWindowClient"));
    setCentralWidget(central);

    const auto button = [central](const char* name, const QString& text, int left, int width) {
        auto* b = new QPushButton(text, central);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 0, width, 33);
        b->setAutoDefault(false);
        return b;
    };
    usersButton = button("usersButton", QStringLiteral("用户管理"), 0, 65);
    softwareNameButton = button("softwareNameButton", QStringLiteral("软件名称"), 64, 65);
    devicesButton = button("devicesButton", QStringLiteral("设备管理"), 128, 65);
    alarmsButton = button("alarmsButton", QStringLiteral("告警管理"), 192, 65);
    serialButton = button("serialButton", QStringLiteral("串口设置"), 256, 65);
    monitorButton = button("monitorButton", QStringLiteral("启动监控"), 320, 70);

    periodLabel = makeLabel(central, "periodLabel", QStringLiteral("监控周期(秒)"), 407, 10);
    periodLabel->resize(70, 17);
    periodEdit = new QLineEdit(QStringLiteral("Edit1"), central);
    periodEdit->setObjectName(QStringLiteral("periodEdit"));
    periodEdit->setGeometry(480, 8, 81, 21);
    readPeriodLabel = makeLabel(central, "readPeriodLabel", QStringLiteral("节点读取周期(毫秒)"), 575, 10);
    readPeriodLabel->resize(106, 17);
    readPeriodEdit = new QLineEdit(QStringLiteral("Edit2"), central);
    readPeriodEdit->setObjectName(QStringLiteral("readPeriodEdit"));
    readPeriodEdit->setGeometry(680, 8, 57, 21);
    // Buttons added later come after the period fields.
    historyButton = button("historyButton", QStringLiteral("浪涌记录"), 745, 65);
    connect(historyButton, &QPushButton::clicked, this, &MainWindow::openHistoryWindow);
    diagnosticsButton = button("diagnosticsButton", QStringLiteral("通信诊断"), 809, 65);
    operationLogButton = button("operationLogButton", QStringLiteral("操作日志"), 873, 65);

    KeyFilter::install(periodEdit, [this](QChar& key) { periodKeyPress(key); });
    KeyFilter::install(readPeriodEdit, [this](QChar& key) { readPeriodKeyPress(key); });

    normalSwatch = makeSquare(central, "normalSwatch", Cards::colour(CardState::Normal), 429, 69);
    normalLegend = makeLabel(central, "normalLegend", QStringLiteral("设备正常"), 447, 70);
    alarmSwatch = makeSquare(central, "alarmSwatch", Cards::colour(CardState::Alarm), 534, 69);
    alarmLegend = makeLabel(central, "alarmLegend", QStringLiteral("设备报警"), 551, 70);
    commLossSwatch = makeSquare(central, "commLossSwatch", Cards::colour(CardState::CommLoss), 637, 69);
    commLossLegend = makeLabel(central, "commLossLegend", QStringLiteral("通信异常"), 655, 70);

    treeCaption = makeLabel(central, "treeCaption", QStringLiteral("设备列表"), 8, 72, true);
    deviceTree = new QTreeWidget(central);
    deviceTree->setObjectName(QStringLiteral("deviceTree"));
    deviceTree->setGeometry(8, 88, 185, 600);
    deviceTree->setHeaderHidden(true);
    deviceTree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    viewCaption = makeLabel(central, "viewCaption", QStringLiteral("监控数据"), 200, 72, true);
    cardFrame = new CardFrame(central);
    cardFrame->setGeometry(200, 88, 513, 600);

    alarmLogCaption = makeLabel(central, "alarmLogCaption", QStringLiteral("告警日志"), 720, 72, true);
    silenceButton = new QPushButton(QStringLiteral("消音"), central);
    silenceButton->setObjectName(QStringLiteral("silenceButton"));
    // On the toolbar, after the other buttons: the active alarm list spans the row below.
    silenceButton->setGeometry(937, 0, 65, 33);
    silenceButton->setAutoDefault(false);
    silenceButton->setEnabled(false);
    // Beside it, why the alarm sound cannot be heard, while it cannot.
    soundFaultLabel = new QLabel(central);
    soundFaultLabel->setObjectName(QStringLiteral("soundFaultLabel"));
    soundFaultLabel->setGeometry(1005, 0, 172, 33);
    soundFaultLabel->setWordWrap(true);
    soundFaultLabel->setStyleSheet(QStringLiteral("color: red"));
    soundFaultLabel->hide();
    alarmLogGrid = new QTableView(central);
    alarmLogGrid->setObjectName(QStringLiteral("alarmLogGrid"));
    alarmLogGrid->setGeometry(720, 88, 457, 600);
    alarmLogGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    alarmLogGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    alarmLogModel = new QueryModel(station.alarmLogQuery, this);
    alarmLogModel->setObjectName(QStringLiteral("alarmLogModel"));
    alarmLogGrid->setModel(alarmLogModel);
    alarmLogGrid->setSelectionModel(alarmLogModel->selection());
    alarmLogGrid->horizontalHeader()->setStretchLastSection(true);
    alarmLogGrid->verticalHeader()->setDefaultSectionSize(20);
    connect(alarmLogModel, &QAbstractItemModel::modelReset, alarmLogGrid,
            [this]() { alarmLogGrid->setColumnWidth(0, 140); });

    statusLine = statusBar();
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusLine->setFixedHeight(19);
    statusLine->setSizeGripEnabled(false);
    const int widths[5] = {150, 150, 150, 150, 50};
    for (int i = 0; i < 5; ++i) {
        m_panels[i] = new QLabel(statusLine);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        m_panels[i]->setFixedWidth(widths[i]);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        statusLine->addWidget(m_panels[i]);
    }
    m_panels[StatusPanel::kVersion]->setText(QStringLiteral("V1.0"));
    lineModeLabel = new QLabel(QStringLiteral("线路模式"), statusLine);
    lineModeLabel->setObjectName(QStringLiteral("lineModeLabel"));
    lineModeLabel->setFrameShape(QFrame::Panel);
    lineModeLabel->setFrameShadow(QFrame::Sunken);
    lineModeLabel->hide();
    statusLine->addWidget(lineModeLabel);

    countdownTimer = new QTimer(this);
    countdownTimer->setObjectName(QStringLiteral("countdownTimer"));
    countdownTimer->setInterval(1000);
    countdownTimer->start();

    connect(usersButton, &QPushButton::clicked, this, &MainWindow::openUserDialog);
    connect(softwareNameButton, &QPushButton::clicked, this, &MainWindow::openSoftwareNameDialog);
    connect(serialButton, &QPushButton::clicked, this, &MainWindow::openSerialDialog);
    connect(devicesButton, &QPushButton::clicked, this, &MainWindow::openDeviceDialog);
    connect(alarmsButton, &QPushButton::clicked, this, &MainWindow::openAlarmDialog);
    connect(diagnosticsButton, &QPushButton::clicked, this, &MainWindow::openDiagnosticsDialog);
    connect(operationLogButton, &QPushButton::clicked, this, &MainWindow::openOperationLogDialog);
    alarmAlert = new AlarmAlert(AlarmAlert::soundEnabled(), QDBusConnection::sessionBus(), this);
    connect(silenceButton, &QPushButton::clicked, alarmAlert, &AlarmAlert::silence);
    connect(&alarmAlert->sound(), &AlarmSound::playingChanged, silenceButton, &QWidget::setEnabled);
    connect(&alarmAlert->sound(), &AlarmSound::faultChanged, soundFaultLabel, [this](const QString& fault) {
        soundFaultLabel->setText(
            QString(fault).replace(QStringLiteral("："), QStringLiteral("：\n"))); // why: a line of its own
        soundFaultLabel->setVisible(!fault.isEmpty());
    });
    TreePick::install(deviceTree, [this]() { selectClickedItem(); });
    connect(monitorButton, &QPushButton::clicked, this, &MainWindow::toggleMonitoring);
    connect(countdownTimer, &QTimer::timeout, this, &MainWindow::countdownTick);
}

void MainWindow::FormCreate(int screenWidth)
{
    const WindowSize size = WindowSize::forScreenWidth(screenWidth);
    resize(size.width, size.height);
    for (QWidget* pane : {static_cast<QWidget*>(deviceTree), static_cast<QWidget*>(cardFrame),
                          static_cast<QWidget*>(alarmLogGrid)})
        pane->resize(pane->width(), size.paneHeight);
}

void MainWindow::setStatusText(int panel, const QString& text)
{
    m_panels.at(panel)->setText(text);
}

QString MainWindow::statusText(int panel) const
{
    return m_panels.at(panel)->text();
}

void MainWindow::reloadAlarmLog()
{
    station.alarmLogQuery.close();
    AlarmLogTable(station.alarmLogQuery).reloadLog();
}

void MainWindow::rebuildDeviceTree()
{
    guarded([this]() {
        deviceTree->clear();
        BuildDeviceTree(station.treeQuery, *deviceTree, treeImages);
    });
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Login runs once the main window is on screen behind it.
        QTimer::singleShot(0, this, &MainWindow::FormShow);
    }
}

void MainWindow::FormShow()
{
    guarded([this]() {
        if (loginDialog) {
            loginDialog->exec();
            m_exitRequested = loginDialog->quitRequested();
            delete loginDialog;
            loginDialog = nullptr;
        }
        if (m_exitRequested) {
            // The program is ending: the window must not take input meanwhile.
            setEnabled(false);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        BuildDeviceTree(station.treeQuery, *deviceTree, treeImages);
        viewCaption->setText(QString());
        reloadAlarmLog();
        reloadActiveAlarms();
    });
}

bool MainWindow::permissionGranted()
{
    if (Permission::isAdministrator(station.session.LoggedInPermission))
        return true;
    MessageBox::show(QStringLiteral("用户权限不够"), this);
    return false;
}

void MainWindow::openUserDialog()
{
    guarded([this]() {
        if (usersButton->text() == QStringLiteral("用户管理"))
            userDialog->exec();
        else
            passwordDialog->exec();
    });
}

void MainWindow::openSoftwareNameDialog()
{
    guarded([this]() { softwareNameDialog->exec(); });
}

void MainWindow::openSerialDialog()
{
    guarded([this]() { serialDialog->exec(); });
}

void MainWindow::openDeviceDialog()
{
    guarded([this]() {
        if (!permissionGranted())
            return;
        m_monitor->stopPolling();
        serialButton->setEnabled(true);
        deviceDialog->DialogKind = SelectionKind::kSystem;
        deviceDialog->exec();
    });
}

void MainWindow::openAlarmDialog()
{
    guarded([this]() {
        if (!permissionGranted())
            return;
        m_monitor->stopPolling();
        alarmDialog->exec();
    });
}

// Beside the main window, while polling goes on; it reads the file anew each
// time it is shown.
void MainWindow::openHistoryWindow()
{
    if (historyWindow->isVisible())
        guarded([this]() { historyWindow->reload(); });
    historyWindow->show();
    historyWindow->raise();
}

// Both permissions: it only shows counts. It stays open beside the main
// window and follows the counts live.
void MainWindow::openDiagnosticsDialog()
{
    diagnosticsDialog->show();
    diagnosticsDialog->raise();
    diagnosticsDialog->activateWindow();
}

void MainWindow::openOperationLogDialog()
{
    guarded([this]() {
        if (permissionGranted())
            operationLogDialog->exec();
    });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Leaving stops monitoring and closes the port: the log says so, as when
    // done by hand.
    if (!station.session.LoggedInUser.isEmpty())
        guarded([this]() {
            m_monitor->stopPolling();
            serialDialog->recordLeaving();
            m_operationLog->record(QStringLiteral("退出登录"));
        });
    QMainWindow::closeEvent(event);
}

void MainWindow::selectClickedItem()
{
    // Any click or move that leaves an item selected acts on that item.
    if (deviceTree->selectedItems().isEmpty())
        return;
    guarded([this]() {
        if (SelectTreeItem(*m_panel, *viewCaption, deviceTree->currentItem()))
            station.openPollScope();
        showCardTips();
        markUnacknowledgedCards();
    });
}

void MainWindow::setBus(FieldBus* bus)
{
    station.setBus(bus);
    serialDialog->setBus(bus);
}

void MainWindow::toggleMonitoring()
{
    guarded([this]() { m_monitor->toggleMonitoring(); });
}

void MainWindow::showSteps(const PollSteps& steps)
{
    // Polling goes on while the operator reads about a failed step: the next
    // tick tries the same node again, and one box shows the latest error.
    guardedWith(
        [this, &steps]() {
            if (steps.reloadAlarmLog)
                reloadAlarmLog();
            for (const AlarmLine& line : steps.alarms)
                AlarmLogTable(station.alarmLogQuery).takeAdded(line.rowId, line.time, line.text);
            bool whole = steps.fullRefresh && ShowPolledRow(*m_panel, PolledRow(), true);
            for (const PolledRow& row : steps.rows)
                whole = ShowPolledRow(*m_panel, row, false) || whole;
            // A card refreshed alone keeps its device and its tip; a whole
            // refresh may have given the cards other devices.
            if (whole)
                showCardTips();
            if (!steps.error.isEmpty())
                throw AppError(steps.error);
        },
        [this](const QString& text) { MessageBox::errorWithoutWaiting(text, this); });
}

void MainWindow::countdownTick()
{
    guarded([this]() { m_monitor->countdownTick(); });
}

void MainWindow::periodKeyPress(QChar& key)
{
    if (!Text::isNumericKey(key))
        key = QChar();
}

void MainWindow::readPeriodKeyPress(QChar& key)
{
    if (!Text::isNumericKey(key))
        key = QChar();
}
