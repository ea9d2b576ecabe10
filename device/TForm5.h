#pragma once

#include "device/DeviceChecks.h"
#include "display/TreeImages.h"

#include <QDialog>

class Connection;
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
class TForm5 final : public QDialog
{
    Q_OBJECT
public:
    // treeQuery is the main window's tree query, which the dialog's own tree
    // is built through as well.
    TForm5(Connection& connection, Query& treeQuery, const TreeImageList& images);

    QTreeWidget* TreeView1;
    QPushButton* Button4; // add
    QPushButton* Button1; // save
    QPushButton* Button2; // delete
    QPushButton* Button3; // exit

    QGroupBox* GroupBox1; // node group
    QLabel* StaticText2;
    QLineEdit* Edit1; // address
    QLabel* StaticText3;
    QLineEdit* Edit2; // device name
    QLabel* StaticText4;
    QLineEdit* Edit3; // node name
    QLabel* StaticText5;
    QComboBox* ComboBox3; // function code
    QLabel* StaticText6;
    QLineEdit* Edit4; // register
    QLabel* StaticText7;
    QComboBox* ComboBox4; // data type
    QLabel* StaticText8;
    QComboBox* ComboBox5; // alarm type
    QLabel* StaticText9;
    QLineEdit* Edit5; // lower limit
    QLabel* StaticText10;
    QLineEdit* Edit6; // upper limit

    QGroupBox* GroupBox2; // device group
    QLabel* StaticText1;
    QLineEdit* Edit7; // address
    QLabel* StaticText11;
    QLineEdit* Edit8; // device name
    QLabel* StaticText13;
    QDateTimeEdit* DateTimePicker1; // install date
    QLabel* StaticText12;
    QComboBox* ComboBox1; // device type

    Query* ADOQuery1;

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

    void Edit1KeyPress(QChar& key);
    void Edit4KeyPress(QChar& key);
    void Edit5KeyPress(QChar& key);
    void Edit6KeyPress(QChar& key);
    void Edit7KeyPress(QChar& key);
    void ComboBox3KeyPress(QChar& key);

signals:
    // Devices or nodes may have changed: the main window rebuilds its tree
    // and shows the system anew.
    void treeChanged();
    // These nodes of the device were deleted.
    void nodesRemoved(int deviceId, const QStringList& nodeNames);

public slots:
    void FormShow();
    void TreeView1Click();
    void ComboBox4Change();
    void Button4Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    // Every way of closing (Exit, the close box, Escape) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createNodeGroup();
    void createDeviceGroup();
    void saveDevice();
    void saveNode();
    // After a save or delete: the tree anew, nothing picked, fields for kind.
    void resetPick(const QString& kind);
    // Shows the refusal and puts the focus on its field of the group in use.
    void refuse(const DeviceChecks::Refusal& refusal, bool nodeGroup);
    void FormClose();

    Query& m_treeQuery;
    const TreeImageList& m_images;
};
