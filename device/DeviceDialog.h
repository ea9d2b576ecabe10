#pragma once

#include "device/DeviceChecks.h"
#include "display/TreeImages.h"

#include <QDialog>
#include <optional>

class Connection;
class OperationLog;
class Query;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// Device management: the operator adds a KPV device with its standard nodes,
// changes a device's name and install date, adds or changes a node, and
// deletes a node or a whole device. The dialog shows its own device tree and
// either the node group or the device group, in one place.
class DeviceDialog final : public QDialog
{
    Q_OBJECT
public:
    // treeQuery is the main window's tree query, which the dialog's own tree
    // is built through as well.
    DeviceDialog(Connection& connection, Query& treeQuery, const TreeImageList& images, OperationLog& log);

    QTreeWidget* deviceTree;
    QPushButton* addButton;    // add
    QPushButton* saveButton;   // save
    QPushButton* deleteButton; // delete
    QPushButton* exitButton;   // exit

    QGroupBox* nodeGroupBox; // node group
    QLabel* nodeAddressLabel;
    QLineEdit* nodeAddressEdit; // address
    QLabel* nodeDeviceNameLabel;
    QLineEdit* nodeDeviceNameEdit; // device name
    QLabel* nodeNameLabel;
    QLineEdit* nodeNameEdit; // node name
    QLabel* functionCodeLabel;
    QComboBox* functionCodeCombo; // function code
    QLabel* registerLabel;
    QLineEdit* registerEdit; // register
    QLabel* dataTypeLabel;
    QComboBox* dataTypeCombo; // data type
    QLabel* alarmTypeLabel;
    QComboBox* alarmTypeCombo; // alarm type
    QLabel* lowerLimitLabel;
    QLineEdit* lowerLimitEdit; // lower limit
    QLabel* upperLimitLabel;
    QLineEdit* upperLimitEdit; // upper limit

    QGroupBox* deviceGroupBox; // device group
    QLabel* addressLabel;
    QLineEdit* addressEdit; // address
    QLabel* deviceNameLabel;
    QLineEdit* deviceNameEdit; // device name
    QLabel* installDateLabel;
    QDateTimeEdit* installDateEdit; // install date
    QLabel* deviceTypeLabel;
    QComboBox* deviceTypeCombo; // device type

    Query* nodeQuery;

    // Mode of the dialog; the main window sets "监控系统" before each opening.
    // The three values live for the whole run, across openings.
    QString DialogKind;
    int DialogDeviceId = 0;
    QString DialogNodeName;

    // Clears the dialog's tree and builds it anew from the table.
    void BuildDialogTree();
    // Fills or clears the node group's fields for a mode and shows or hides them.
    void ShowFieldsForKind(const QString& kind);
    void AddDeviceWithStandardNodes();

    void nodeAddressKeyPress(QChar& key);
    void registerKeyPress(QChar& key);
    void lowerLimitKeyPress(QChar& key);
    void upperLimitKeyPress(QChar& key);
    void addressKeyPress(QChar& key);
    void functionCodeKeyPress(QChar& key);

signals:
    // Devices or nodes may have changed: the main window rebuilds its tree
    // and shows the system anew.
    void treeChanged();
    // These nodes of the device were deleted, or moved away with the device
    // to another address; their alarms have ended.
    void nodesRemoved(int deviceId, const QStringList& nodeNames);
    // The device itself was deleted or moved, after nodesRemoved for its nodes.
    void deviceRemoved(int deviceId);

public slots:
    void FormShow();
    void pickTreeItem();
    void dataTypeChanged();
    void startAdding();
    void save();
    void deletePicked();
    void exitDialog();
    // Every way of closing (Exit, the close box, Escape) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createNodeGroup();
    void createDeviceGroup();
    void saveDevice();
    void saveNode();
    // Ends the alarms of a device, or of one of its nodes, being deleted or moved.
    void endAlarms(int deviceId, const std::optional<QString>& nodeName);
    // After a save or delete: the tree anew, nothing picked, fields for kind.
    void resetPick(const QString& kind);
    // Shows the refusal and puts the focus on its field of the group in use.
    void refuse(const DeviceChecks::Refusal& refusal, bool nodeGroup);
    void FormClose();

    Query& m_treeQuery;
    const TreeImageList& m_images;
    OperationLog& m_log;
};
