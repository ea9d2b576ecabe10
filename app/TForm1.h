#pragma once

#include "display/TreeImages.h"
#include "store/MainState.h"

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
class TFrame1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;

// The main window: toolbar, device tree, data view, alarm log, legend and
// status bar. It owns the connection's queries, the two timers and the state
// shared with the dialogs for the whole run.
class TForm1 final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm1(Connection& connection, int screenWidth, QWidget* parent = nullptr);
    ~TForm1() override;

    Connection& ADOConnection1;
    Query* ADOQuery1; // alarm log
    Query* ADOQuery2; // tree building
    Query* ADOQuery3; // scope of polling
    Query* ADOQuery4; // data view
    Query* ADOQuery5; // lookups

    QPushButton* BitBtn1;
    QPushButton* BitBtn6;
    QPushButton* BitBtn2;
    QPushButton* BitBtn5;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QLabel* StaticText4;
    QLineEdit* Edit1;
    QLabel* StaticText5;
    QLineEdit* Edit2;
    QFrame* Shape1;
    QFrame* Shape2;
    QFrame* Shape3;
    QLabel* StaticText6;
    QLabel* StaticText7;
    QLabel* StaticText8;
    QLabel* StaticText1;
    QTreeWidget* TreeView1;
    QLabel* StaticText3;
    TFrame1* Frame11;
    QLabel* StaticText2;
    QTableView* DBGrid1;
    QStatusBar* StatusBar1;
    QueryModel* DataSource1;
    QTimer* Timer1;
    QTimer* Timer2;
    TreeImageList ImageList1;

    MainState state;

    // The cards of the data view on Frame11 and what the views work on.
    DataPanel& panel() { return *m_panel; }

    // The serial link; the real library unless a test put a scripted one here.
    FieldBus* bus() const { return m_bus; }
    void setBus(FieldBus* bus);
    PollCycle& pollCycle() { return *m_poll; }

    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;
    TForm6* Form6 = nullptr;
    TForm7* Form7 = nullptr;
    TForm8* Form8 = nullptr;

    void setStatusText(int panel, const QString& text);
    QString statusText(int panel) const;

    // Closes and reopens the alarm log query so both grids show the table.
    void reloadAlarmLog();
    // Builds the device tree anew from the table.
    void rebuildDeviceTree();

    // True once the login was abandoned: the program is ending.
    bool exitRequested() const { return m_exitRequested; }

    // The filter of Edit1 and Edit2: key becomes 0 when it must be discarded.
    void Edit1KeyPress(QChar& key);
    void Edit2KeyPress(QChar& key);

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn6Click();
    void BitBtn3Click();
    void BitBtn2Click();
    void BitBtn5Click();
    void TreeView1Click();
    void BitBtn4Click();
    void Timer1Timer();
    void Timer2Timer();

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
