#pragma once

#include "app/Station.h"
#include "display/TreeImages.h"
#include "store/StatusPanel.h"

#include <QIcon>
#include <QMainWindow>
#include <QSet>
#include <array>
#include <memory>

struct DataPanel;
class FieldBus;
class MonitorControl;
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
class HistoryWindow;
class BusDiagnosticsDialog;
class ActiveAlarmPanel;
class OperationLog;
class OperationLogDialog;
class AlarmAlert;

// The main window: toolbar, device tree, data view, alarm log, legend and
// status bar over the station it shows. It owns the countdown timer and the
// dialogs, and gives each dialog the part of the station it edits; the pace
// of polling is the station's.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Station& shown, int screenWidth, QWidget* parent = nullptr);
    ~MainWindow() override;

    Station& station;

    QPushButton* usersButton;
    QPushButton* softwareNameButton;
    QPushButton* devicesButton;
    QPushButton* alarmsButton;
    QPushButton* serialButton;
    QPushButton* monitorButton;
    QPushButton* historyButton; // the surge history, for every user
    QPushButton* diagnosticsButton;
    QPushButton* operationLogButton;
    QPushButton* silenceButton; // silences the alarm sound without acknowledging
    QLabel* soundFaultLabel;    // why the alarm sound cannot be heard, shown only then
    QLabel* lineModeLabel;      // beside the status panels while polling runs in line mode
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
    ActiveAlarmPanel* activeAlarms = nullptr;
    QStatusBar* statusLine;
    QueryModel* alarmLogModel;
    QTimer* countdownTimer;
    AlarmAlert* alarmAlert;
    TreeImageList treeImages;

    // The cards of the data view on cardFrame and what the views work on.
    DataPanel& panel() { return *m_panel; }

    // Puts another serial link under the station and the serial dialog.
    void setBus(FieldBus* bus);

    LoginDialog* loginDialog = nullptr;
    UserDialog* userDialog = nullptr;
    PasswordDialog* passwordDialog = nullptr;
    DeviceDialog* deviceDialog = nullptr;
    SerialDialog* serialDialog = nullptr;
    AlarmDialog* alarmDialog = nullptr;
    SoftwareNameDialog* softwareNameDialog = nullptr;
    HistoryWindow* historyWindow = nullptr;
    BusDiagnosticsDialog* diagnosticsDialog = nullptr;
    OperationLogDialog* operationLogDialog = nullptr;

    void setStatusText(int panel, const QString& text);
    QString statusText(int panel) const;

    // Closes and reopens the alarm log query so both grids show the table.
    void reloadAlarmLog();
    // Builds the device tree anew from the table.
    void rebuildDeviceTree();
    // How many alarms are unacknowledged, as the active alarm list shows.
    int unacknowledgedAlarms() const { return m_unacknowledged; }

    // True once the login was abandoned: the program is ending.
    bool exitRequested() const { return m_exitRequested; }

    // The filter of periodEdit and readPeriodEdit: key becomes 0 when it must be discarded.
    void periodKeyPress(QChar& key);
    void readPeriodKeyPress(QChar& key);

signals:
    void unacknowledgedAlarmsChanged(int count);
    // An alarm was raised anew (see AlarmStates::alarmRaised). An empty node
    // name is the device's communication loss.
    void alarmRaised(const AlarmEntry& entry);

public slots:
    // Asks the station to acknowledge the alarms as shown, recording user.
    void acknowledgeAlarms(const QVector<AlarmOccurrence>& shown, const QString& user);
    // Reads the active alarm list again and marks the cards to match.
    void reloadActiveAlarms();
    void FormShow();
    void openUserDialog();
    void openSoftwareNameDialog();
    void openSerialDialog();
    void openDeviceDialog();
    void openAlarmDialog();
    void openHistoryWindow();
    void openOperationLogDialog();
    void selectClickedItem();
    void toggleMonitoring();
    void countdownTick();
    // The window's part of the poll steps taken since it was last told: the
    // new alarm lines, the polled rows' cards (or the whole view), and the
    // latest error in the one box that does not wait.
    void showSteps(const PollSteps& steps);
    void openDiagnosticsDialog();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the main window logs the operator out.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void FormCreate(int screenWidth);
    void createDialogs();
    void showPublishing();
    void showBusDiagnostics();
    // The tooltip of a device's cards: how it answered on the bus.
    QString cardTip(int deviceId) const;
    void showCardTips();
    // The system as the selection and the scope of polling.
    void showSystemSelection();
    void showLoadedSettings(const QString& softwareName, bool administrator, int monitorPeriod,
                            int nodeReadPeriod);
    bool permissionGranted();
    void createActiveAlarms();
    void markUnacknowledgedCards();

    std::array<QLabel*, 5> m_panels{};
    std::unique_ptr<DataPanel> m_panel;
    std::unique_ptr<OperationLog> m_operationLog;
    MonitorControl* m_monitor = nullptr;
    bool m_shown = false;
    bool m_exitRequested = false;
    int m_unacknowledged = 0;
    QSet<int> m_markedDevices;
};
