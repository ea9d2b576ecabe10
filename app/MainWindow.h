#pragma once

#include "display/TreeImages.h"
#include "store/MainState.h"
#include "store/StatusPanel.h"

#include <QIcon>
#include <QMainWindow>
#include <array>
#include <memory>

class Connection;
struct DataPanel;
class FieldBus;
class MonitorControl;
class MqttPublisher;
class PollCycle;
class Query;
class QueryModel;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;
class QTreeWidget;
class CardFrame;
class LoginDialog;
class UserDialog;
class PasswordDialog;
class DeviceDialog;
class SerialDialog;
class AlarmDialog;
class SoftwareNameDialog;

// The main window: toolbar, device tree, data view, alarm log, legend and
// status bar. It owns the connection's queries, the two timers and the state
// shared with the dialogs for the whole run.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Connection& connection, int screenWidth, QWidget* parent = nullptr);
    ~MainWindow() override;

    Connection& dbConnection;
    Query* alarmLogQuery; // alarm log
    Query* treeQuery;     // tree building
    Query* scopeQuery;    // scope of polling
    Query* viewQuery;     // data view
    Query* settingsQuery; // lookups

    QPushButton* usersButton;
    QPushButton* softwareNameButton;
    QPushButton* devicesButton;
    QPushButton* alarmsButton;
    QPushButton* serialButton;
    QPushButton* monitorButton;
    QLabel* periodLabel;
    QLineEdit* periodEdit;
    QLabel* readPeriodLabel;
    QLineEdit* readPeriodEdit;
    QFrame* normalSwatch;
    QFrame* alarmSwatch;
    QFrame* commLossSwatch;
    QLabel* normalLegend;
    QLabel* alarmLegend;
    QLabel* commLossLegend;
    QLabel* treeCaption;
    QTreeWidget* deviceTree;
    QLabel* viewCaption;
    CardFrame* cardFrame;
    QLabel* alarmLogCaption;
    QTableView* alarmLogGrid;
    QStatusBar* statusLine;
    QueryModel* alarmLogModel;
    QTimer* pollTimer;
    QTimer* countdownTimer;
    TreeImageList treeImages;

    MainState state;

    // The cards of the data view on cardFrame and what the views work on.
    DataPanel& panel() { return *m_panel; }

    // The serial link; the real library unless a test put a scripted one here.
    FieldBus* bus() const { return m_bus; }
    void setBus(FieldBus* bus);
    PollCycle& pollCycle() { return *m_poll; }

    LoginDialog* loginDialog = nullptr;
    UserDialog* userDialog = nullptr;
    PasswordDialog* passwordDialog = nullptr;
    DeviceDialog* deviceDialog = nullptr;
    SerialDialog* serialDialog = nullptr;
    AlarmDialog* alarmDialog = nullptr;
    SoftwareNameDialog* softwareNameDialog = nullptr;

    void setStatusText(int panel, const QString& text);
    QString statusText(int panel) const;

    // Closes and reopens the alarm log query so both grids show the table.
    void reloadAlarmLog();
    // Builds the device tree anew from the table.
    void rebuildDeviceTree();

    // True once the login was abandoned: the program is ending.
    bool exitRequested() const { return m_exitRequested; }

    // The filter of periodEdit and readPeriodEdit: key becomes 0 when it must be discarded.
    void periodKeyPress(QChar& key);
    void readPeriodKeyPress(QChar& key);

public slots:
    void FormShow();
    void openUserDialog();
    void openSoftwareNameDialog();
    void openSerialDialog();
    void openDeviceDialog();
    void openAlarmDialog();
    void selectClickedItem();
    void toggleMonitoring();
    void pollTick();
    void countdownTick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void FormCreate(int screenWidth);
    void createDialogs();
    void startPublishing();
    bool permissionGranted();

    std::array<QLabel*, 5> m_panels{};
    std::unique_ptr<FieldBus> m_ownBus;
    FieldBus* m_bus;
    // Outlives the poll cycle, which reports to it.
    std::unique_ptr<MqttPublisher> m_mqtt;
    std::unique_ptr<PollCycle> m_poll;
    std::unique_ptr<DataPanel> m_panel;
    MonitorControl* m_monitor = nullptr;
    bool m_shown = false;
    bool m_exitRequested = false;
};
