#include "device/DeviceDialog.h"

#include "device/NodeWrites.h"
#include "device/StandardNodes.h"
#include "display/DeviceTree.h"
#include "kit/Guarded.h"
#include "kit/KeyFilter.h"
#include "kit/MessageBox.h"
#include "kit/TreePick.h"
#include "store/AlarmStateTable.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/StatusTexts.h"
#include "store/Text.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>

namespace {

const QString kAddDevice = QStringLiteral("添加设备");

// Both groups are designed side by side and share this place at run time.
constexpr int kGroupLeft = 232;
constexpr int kDesignDeviceLeft = 552;
constexpr int kDesignWidth = 774;
constexpr int kRunWidth = 555;
constexpr int kHeight = 436;
constexpr int kRowStep = 46;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int row)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(16, 14 + row * kRowStep, 120, 16);
    return label;
}

template <typename Field> Field* place(Field* field, const char* name, int row)
{
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(16, 31 + row * kRowStep, 177, 22);
    return field;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int row)
{
    return place(new QLineEdit(parent), name, row);
}

// Free text as well as a pick from the list; typed text must not grow the list.
QComboBox* makeCombo(QWidget* parent, const char* name, const QStringList& items, int row)
{
    auto* combo = place(new QComboBox(parent), name, row);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

QGroupBox* makeGroup(QWidget* parent, const char* name, int left)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(left, 0, 209, kHeight - 8);
    return group;
}

void setFieldText(QWidget* field, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(field))
        combo->setEditText(text);
}

void turnOn(QWidget* field, QLabel* label)
{
    field->setEnabled(true);
    field->show();
    label->show();
}

void turnOff(QWidget* field, QLabel* label)
{
    setFieldText(field, QString());
    field->setEnabled(false);
    field->hide();
    label->hide();
}

// A column of the current row as text; a result without rows gives "".
QString textOf(const Query& query, const char* column)
{
    return query.eof() ? QString() : query.fieldText(QString::fromLatin1(column));
}

void numericOnly(QChar& key)
{
    if (!Text::isNumericKey(key))
        key = QChar();
}

// How the operation log names a device, or a node of it.
QString logged(int address, const QString& what)
{
    return QStringLiteral("设备%1 %2").arg(address).arg(what);
}
} // namespace

DeviceDialog::DeviceDialog(Connection& connection, Query& treeQuery, const TreeImageList& images,
                           OperationLog& log)
    : nodeQuery(new Query(connection, this)), m_treeQuery(treeQuery), m_images(images), m_log(log)
{
    setObjectName(QStringLiteral("deviceDialog"));
    setWindowTitle(QStringLiteral("设备管理"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(kDesignWidth, kHeight);

    deviceTree = new QTreeWidget(this);
    deviceTree->setObjectName(QStringLiteral("deviceTree"));
    deviceTree->setGeometry(8, 8, 217, kHeight - 16);
    deviceTree->setHeaderHidden(true);
    deviceTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    prepareTreeForImages(*deviceTree);

    const auto button = [this](const char* name, const QString& caption, int top) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(456, top, 81, 33);
        // Enter in a field must not press a button by itself.
        b->setAutoDefault(false);
        return b;
    };
    addButton = button("addButton", QStringLiteral("添加"), 24);
    saveButton = button("saveButton", QStringLiteral("保存"), 72);
    deleteButton = button("deleteButton", QStringLiteral("删除 "), 120);
    exitButton = button("exitButton", QStringLiteral("退出"), 168);

    createNodeGroup();
    createDeviceGroup();

    KeyFilter::install(nodeAddressEdit, [this](QChar& k) { nodeAddressKeyPress(k); });
    KeyFilter::install(registerEdit, [this](QChar& k) { registerKeyPress(k); });
    KeyFilter::install(lowerLimitEdit, [this](QChar& k) { lowerLimitKeyPress(k); });
    KeyFilter::install(upperLimitEdit, [this](QChar& k) { upperLimitKeyPress(k); });
    KeyFilter::install(addressEdit, [this](QChar& k) { addressKeyPress(k); });
    KeyFilter::install(functionCodeCombo, [this](QChar& k) { functionCodeKeyPress(k); });

    TreePick::install(deviceTree, [this]() { pickTreeItem(); });
    // Only the operator's changes count: typing or picking, not the dialog's own filling.
    connect(dataTypeCombo, &QComboBox::textActivated, this, &DeviceDialog::dataTypeChanged);
    connect(dataTypeCombo->lineEdit(), &QLineEdit::textEdited, this, &DeviceDialog::dataTypeChanged);
    connect(addButton, &QPushButton::clicked, this, &DeviceDialog::startAdding);
    connect(saveButton, &QPushButton::clicked, this, &DeviceDialog::save);
    connect(deleteButton, &QPushButton::clicked, this, &DeviceDialog::deletePicked);
    connect(exitButton, &QPushButton::clicked, this, &DeviceDialog::exitDialog);
}

void DeviceDialog::createNodeGroup()
{
    nodeGroupBox = makeGroup(this, "nodeGroupBox", kGroupLeft);
    nodeAddressLabel = makeLabel(nodeGroupBox, "nodeAddressLabel", QStringLiteral("485 ID"), 0);
    nodeAddressEdit = makeEdit(nodeGroupBox, "nodeAddressEdit", 0);
    nodeDeviceNameLabel = makeLabel(nodeGroupBox, "nodeDeviceNameLabel", QStringLiteral("设备名称"), 1);
    nodeDeviceNameEdit = makeEdit(nodeGroupBox, "nodeDeviceNameEdit", 1);
    nodeNameLabel = makeLabel(nodeGroupBox, "nodeNameLabel", QStringLiteral("节点名称"), 2);
    nodeNameEdit = makeEdit(nodeGroupBox, "nodeNameEdit", 2);
    functionCodeLabel = makeLabel(nodeGroupBox, "functionCodeLabel", QStringLiteral("节点代码"), 3);
    functionCodeCombo =
        makeCombo(nodeGroupBox, "functionCodeCombo", {QStringLiteral("3"), QStringLiteral("4")}, 3);
    registerLabel = makeLabel(nodeGroupBox, "registerLabel", QStringLiteral("节点地址"), 4);
    registerEdit = makeEdit(nodeGroupBox, "registerEdit", 4);
    dataTypeLabel = makeLabel(nodeGroupBox, "dataTypeLabel", QStringLiteral("数据类型"), 5);
    dataTypeCombo = makeCombo(nodeGroupBox, "dataTypeCombo", {NodeTexts::kSwitch, NodeTexts::kAnalogue}, 5);
    alarmTypeLabel = makeLabel(nodeGroupBox, "alarmTypeLabel", QStringLiteral("报警类型"), 6);
    alarmTypeCombo =
        makeCombo(nodeGroupBox, "alarmTypeCombo", {NodeTexts::kZeroNormal, NodeTexts::kFfffNormal}, 6);
    lowerLimitLabel = makeLabel(nodeGroupBox, "lowerLimitLabel", QStringLiteral("报警下限"), 7);
    lowerLimitEdit = makeEdit(nodeGroupBox, "lowerLimitEdit", 7);
    upperLimitLabel = makeLabel(nodeGroupBox, "upperLimitLabel", QStringLiteral("报警上限"), 8);
    upperLimitEdit = makeEdit(nodeGroupBox, "upperLimitEdit", 8);
}

void DeviceDialog::createDeviceGroup()
{
    deviceGroupBox = makeGroup(this, "deviceGroupBox", kDesignDeviceLeft);
    addressLabel = makeLabel(deviceGroupBox, "addressLabel", QStringLiteral("485 ID"), 0);
    addressEdit = makeEdit(deviceGroupBox, "addressEdit", 0);
    deviceNameLabel = makeLabel(deviceGroupBox, "deviceNameLabel", QStringLiteral("设备名称"), 1);
    deviceNameEdit = makeEdit(deviceGroupBox, "deviceNameEdit", 1);
    installDateLabel = makeLabel(deviceGroupBox, "installDateLabel", QStringLiteral("安装日期"), 2);
    installDateEdit = place(new QDateTimeEdit(deviceGroupBox), "installDateEdit", 2);
    installDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    installDateEdit->setCalendarPopup(true);
    deviceTypeLabel = makeLabel(deviceGroupBox, "deviceTypeLabel", QStringLiteral("设备类型"), 3);
    deviceTypeCombo = place(new QComboBox(deviceGroupBox), "deviceTypeCombo", 3);
    deviceTypeCombo->addItem(StandardNodes::kKpv);
    deviceTypeCombo->setCurrentIndex(-1); // no type until the operator picks one
}

void DeviceDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        // Centred on the screen at every showing, at the width just set.
        if (QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

void DeviceDialog::FormShow()
{
    guarded([this]() {
        setFixedWidth(kRunWidth);
        nodeGroupBox->hide();
        deviceGroupBox->move(kGroupLeft, deviceGroupBox->y());
        deviceGroupBox->show();
        addressEdit->clear();
        deviceNameEdit->clear();
        saveButton->setEnabled(false);
        deleteButton->setEnabled(false);
        BuildDialogTree();
        ShowFieldsForKind(DialogKind);
        installDateEdit->setDateTime(Clock::now());
    });
}

void DeviceDialog::BuildDialogTree()
{
    deviceTree->clear();
    BuildDeviceTree(m_treeQuery, *deviceTree, m_images);
}

void DeviceDialog::pickTreeItem()
{
    guarded([this]() {
        QTreeWidgetItem* item = deviceTree->currentItem();
        if (!item || deviceTree->selectedItems().isEmpty())
            return;
        deviceGroupBox->hide();
        // Save and Delete wait for the pick to be complete: one that fails leaves them off.
        saveButton->setEnabled(false);
        deleteButton->setEnabled(false);
        switch (item->data(0, Qt::UserRole).toInt()) {
        case DeviceTree::kSystem:
            nodeGroupBox->hide();
            DialogKind = SelectionKind::kSystem;
            ShowFieldsForKind(DialogKind);
            break;
        case DeviceTree::kDevice:
            nodeGroupBox->hide();
            deviceGroupBox->show();
            DialogKind = SelectionKind::kDevice;
            DialogDeviceId = DeviceTree::addressOf(*item);
            ShowFieldsForKind(DialogKind);
            addressEdit->setEnabled(false);
            addressEdit->setText(QString::number(DialogDeviceId));
            // The type of an existing device cannot be changed.
            deviceTypeLabel->hide();
            deviceTypeCombo->hide();
            NodeTable(*nodeQuery).openDeviceRows(DialogDeviceId);
            if (nodeQuery->recordCount() >= 1) {
                nodeQuery->first();
                deviceNameEdit->setText(nodeQuery->fieldText(QStringLiteral("device_name")));
                installDateEdit->setDateTime(nodeQuery->fieldDateTime(QStringLiteral("install_date")));
                nodeQuery->close();
            }
            saveButton->setEnabled(true);
            deleteButton->setEnabled(true);
            break;
        case DeviceTree::kNode:
            nodeGroupBox->show();
            DialogKind = SelectionKind::kNode;
            DialogDeviceId = DeviceTree::addressOf(*item);
            DialogNodeName = item->text(0);
            ShowFieldsForKind(DialogKind);
            // A node stays with its device here.
            nodeAddressEdit->setEnabled(false);
            saveButton->setEnabled(true);
            deleteButton->setEnabled(true);
            break;
        default:
            break;
        }
    });
}

void DeviceDialog::ShowFieldsForKind(const QString& kind)
{
    const std::pair<QWidget*, QLabel*> pairs[] = {
        {nodeNameEdit, nodeNameLabel},     {functionCodeCombo, functionCodeLabel},
        {registerEdit, registerLabel},     {dataTypeCombo, dataTypeLabel},
        {alarmTypeCombo, alarmTypeLabel},  {lowerLimitEdit, lowerLimitLabel},
        {upperLimitEdit, upperLimitLabel},
    };
    if (kind == SelectionKind::kSystem) {
        for (QLineEdit* edit : {nodeAddressEdit, nodeDeviceNameEdit}) {
            edit->clear();
            edit->setEnabled(true);
        }
        for (int i = 0; i < 4; ++i) {
            setFieldText(pairs[i].first, QString());
            turnOn(pairs[i].first, pairs[i].second);
        }
        for (int i = 4; i < 7; ++i)
            turnOff(pairs[i].first, pairs[i].second);
        nodeGroupBox->hide();
    } else if (kind == SelectionKind::kDevice) {
        NodeTable(*nodeQuery).openDeviceToEdit(DialogDeviceId);
        nodeQuery->first();
        nodeAddressEdit->setText(textOf(*nodeQuery, "device_id"));
        nodeDeviceNameEdit->setText(textOf(*nodeQuery, "device_name"));
        nodeAddressEdit->setEnabled(true);
        nodeDeviceNameEdit->setEnabled(true);
        for (const auto& [field, label] : pairs)
            turnOff(field, label);
    } else if (kind == SelectionKind::kNode) {
        NodeTable(*nodeQuery).openNodeToEdit(DialogDeviceId, DialogNodeName);
        nodeQuery->first();
        nodeAddressEdit->setText(textOf(*nodeQuery, "device_id"));
        nodeDeviceNameEdit->setText(textOf(*nodeQuery, "device_name"));
        nodeAddressEdit->setEnabled(true);
        nodeDeviceNameEdit->setEnabled(true);
        const char* const columns[] = {"node_name", "node_code", "node_reg_add", "con_data_type"};
        for (int i = 0; i < 4; ++i) {
            setFieldText(pairs[i].first, textOf(*nodeQuery, columns[i]));
            turnOn(pairs[i].first, pairs[i].second);
        }
        if (textOf(*nodeQuery, "con_data_type") == NodeTexts::kSwitch) {
            alarmTypeLabel->show();
            alarmTypeCombo->setEditText(textOf(*nodeQuery, "node_alarm_type"));
            turnOn(alarmTypeCombo, alarmTypeLabel);
            turnOff(lowerLimitEdit, lowerLimitLabel);
            turnOff(upperLimitEdit, upperLimitLabel);
        } else {
            turnOff(alarmTypeCombo, alarmTypeLabel);
            lowerLimitEdit->setText(textOf(*nodeQuery, "node_data_lower"));
            upperLimitEdit->setText(textOf(*nodeQuery, "node_data_upper"));
            turnOn(lowerLimitEdit, lowerLimitLabel);
            turnOn(upperLimitEdit, upperLimitLabel);
        }
    }
}

void DeviceDialog::dataTypeChanged()
{
    if (dataTypeCombo->currentText() == NodeTexts::kSwitch) {
        alarmTypeCombo->setEditText(NodeTexts::kZeroNormal);
        turnOn(alarmTypeCombo, alarmTypeLabel);
        turnOff(lowerLimitEdit, lowerLimitLabel);
        turnOff(upperLimitEdit, upperLimitLabel);
    } else {
        turnOff(alarmTypeCombo, alarmTypeLabel);
        turnOn(lowerLimitEdit, lowerLimitLabel);
        turnOn(upperLimitEdit, upperLimitLabel);
    }
}

void DeviceDialog::startAdding()
{
    nodeGroupBox->hide();
    deviceGroupBox->show();
    addressEdit->clear();
    deviceNameEdit->clear();
    addressEdit->setEnabled(true);
    deviceTypeLabel->show();
    deviceTypeCombo->show();
    saveButton->setEnabled(true);
    deleteButton->setEnabled(false);
    DialogKind = kAddDevice;
}

void DeviceDialog::save()
{
    guarded([this]() {
        if (DialogKind == kAddDevice)
            AddDeviceWithStandardNodes();
        else if (DialogKind == SelectionKind::kDevice)
            saveDevice();
        else if (DialogKind == SelectionKind::kNode)
            saveNode();
    });
}

void DeviceDialog::refuse(const DeviceChecks::Refusal& refusal, bool nodeGroup)
{
    using DeviceChecks::Field;
    MessageBox::show(refusal.message, this);
    QWidget* field = nullptr;
    switch (refusal.field) {
    case Field::Address:
        field = nodeGroup ? nodeAddressEdit : addressEdit;
        break;
    case Field::DeviceName:
        field = nodeGroup ? nodeDeviceNameEdit : deviceNameEdit;
        break;
    case Field::DeviceType:
        field = deviceTypeCombo;
        break;
    case Field::NodeName:
        field = nodeNameEdit;
        break;
    case Field::Code:
        field = functionCodeCombo;
        break;
    case Field::Register:
        field = registerEdit;
        break;
    case Field::DataType:
        field = dataTypeCombo;
        break;
    case Field::AlarmType:
        field = alarmTypeCombo;
        break;
    case Field::Lower:
        field = lowerLimitEdit;
        break;
    case Field::Upper:
        field = upperLimitEdit;
        break;
    }
    field->setFocus();
}

void DeviceDialog::AddDeviceWithStandardNodes()
{
    if (const auto refused = DeviceChecks::newDevice(addressEdit->text(), deviceNameEdit->text(),
                                                     deviceTypeCombo->currentText())) {
        refuse(*refused, false);
        return;
    }
    // The address is looked up as the number that is written, whatever its spelling.
    const int address = Text::toInt(addressEdit->text());
    NodeTable(*nodeQuery).openDeviceRows(address);
    if (nodeQuery->recordCount() >= 1) {
        refuse({QStringLiteral("设备地址已经存在,请重新填写"), DeviceChecks::Field::Address}, false);
        return;
    }
    if (deviceTypeCombo->currentText() == StandardNodes::kKpv) {
        const QString name = Text::trimmed(deviceNameEdit->text());
        m_log.recordWith(QStringLiteral("添加设备"), logged(address, name), [&]() {
            StandardNodes::insertKpv(*nodeQuery, address, name, installDateEdit->dateTime());
        });
        MessageBox::show(QStringLiteral("设备添加成功"), this);
        nodeQuery->close();
    }
    // The fields keep their texts, so the next device is one correction away.
    BuildDialogTree();
}

void DeviceDialog::saveDevice()
{
    if (const auto refused = DeviceChecks::changedDevice(addressEdit->text(), deviceNameEdit->text())) {
        refuse(*refused, false);
        return;
    }
    // After a save nothing is picked any more, while the fields still show the device.
    bool saved = false;
    const int moved = Text::toInt(Text::trimmed(addressEdit->text())) != DialogDeviceId ? DialogDeviceId : 0;
    const QStringList movedNodes = moved ? NodeWrites::nodeNames(*nodeQuery, moved) : QStringList();
    m_log.recordWith([&]() -> std::optional<OperationLog::Entry> {
        const QString was = NodeWrites::deviceText(*nodeQuery, DialogDeviceId);
        saved = NodeWrites::saveDevice(*nodeQuery, DialogDeviceId, addressEdit->text(),
                                       deviceNameEdit->text(), installDateEdit->dateTime()) > 0;
        if (!saved)
            return std::nullopt;
        if (moved)
            endAlarms(moved, std::nullopt);
        const int now = Text::toInt(Text::trimmed(addressEdit->text()));
        return std::optional(
            OperationLog::Entry{QStringLiteral("修改设备"),
                                was + QStringLiteral(" -> ") + NodeWrites::deviceText(*nodeQuery, now)});
    });
    if (!saved) {
        MessageBox::show(QStringLiteral("未选中设备"), this);
        return;
    }
    // Nothing is left at the old address: its readings and alarms are gone as after a deletion.
    if (moved) {
        emit nodesRemoved(moved, movedNodes);
        emit deviceRemoved(moved);
    }
    MessageBox::show(QStringLiteral("修改成功"), this);
    nodeQuery->close();
    resetPick(SelectionKind::kDevice);
}

void DeviceDialog::saveNode()
{
    const DeviceChecks::NodeInput in{
        nodeAddressEdit->text(),          nodeDeviceNameEdit->text(), nodeNameEdit->text(),
        functionCodeCombo->currentText(), registerEdit->text(),       dataTypeCombo->currentText(),
        alarmTypeCombo->currentText(),    lowerLimitEdit->text(),     upperLimitEdit->text()};
    if (const auto refused = DeviceChecks::node(in)) {
        refuse(*refused, true);
        return;
    }
    bool added = false;
    m_log.recordWith([&]() {
        const int address = Text::toInt(Text::trimmed(in.address));
        const QString name = Text::trimmed(in.nodeName);
        const QString was = NodeWrites::nodeSettings(*nodeQuery, address, name);
        added = NodeWrites::saveNode(*nodeQuery, in);
        const QString now = NodeWrites::nodeSettings(*nodeQuery, address, name);
        return added ? OperationLog::Entry{QStringLiteral("添加节点"), logged(address, name + u' ' + now)}
                     : OperationLog::Entry{QStringLiteral("修改节点"),
                                           logged(address, name + u' ' + was + QStringLiteral(" -> ") + now)};
    });
    MessageBox::show(added ? QStringLiteral("节点添加成功") : QStringLiteral("节点修改成功"), this);
    nodeQuery->close();
    resetPick(SelectionKind::kSystem);
}

void DeviceDialog::deletePicked()
{
    guarded([this]() {
        // Each test reads the mode afresh: a deletion ends in "监控系统".
        if (DialogKind == SelectionKind::kSystem)
            MessageBox::show(QStringLiteral("请选中设备或者节点再删除"), this);
        if (DialogKind == SelectionKind::kNode) {
            if (DialogNodeName.isEmpty()) {
                MessageBox::show(QStringLiteral("未选中节点"), this);
                return;
            }
            m_log.recordWith(QStringLiteral("删除节点"),
                             logged(DialogDeviceId,
                                    DialogNodeName + u' ' +
                                        NodeWrites::nodeSettings(*nodeQuery, DialogDeviceId, DialogNodeName)),
                             [this]() {
                                 NodeTable(*nodeQuery).removeNode(DialogDeviceId, DialogNodeName);
                                 endAlarms(DialogDeviceId, DialogNodeName);
                             });
            emit nodesRemoved(DialogDeviceId, {DialogNodeName});
            MessageBox::show(QStringLiteral("节点删除成功"), this);
            resetPick(SelectionKind::kSystem);
        }
        if (DialogKind == SelectionKind::kDevice) {
            if (DialogDeviceId == 0) {
                MessageBox::show(QStringLiteral("未选中设备"), this);
                return;
            }
            const QStringList nodeNames = NodeWrites::nodeNames(*nodeQuery, DialogDeviceId);
            m_log.recordWith(QStringLiteral("删除设备"),
                             NodeWrites::deviceText(*nodeQuery, DialogDeviceId) +
                                 QStringLiteral(" %1 个节点").arg(nodeNames.size()),
                             [this]() {
                                 NodeTable(*nodeQuery).removeDevice(DialogDeviceId);
                                 endAlarms(DialogDeviceId, std::nullopt);
                             });
            emit nodesRemoved(DialogDeviceId, nodeNames);
            emit deviceRemoved(DialogDeviceId);
            MessageBox::show(QStringLiteral("设备删除成功"), this);
            resetPick(SelectionKind::kSystem);
        }
    });
}

// In the transaction of the change, under the user who made it.
void DeviceDialog::endAlarms(int deviceId, const std::optional<QString>& nodeName)
{
    AlarmStateTable(nodeQuery->connection())
        .end(deviceId, nodeName, Text::dateTimeText(Clock::now()), m_log.user());
}

void DeviceDialog::resetPick(const QString& kind)
{
    BuildDialogTree();
    DialogNodeName.clear();
    DialogDeviceId = 0;
    DialogKind = kind;
    ShowFieldsForKind(kind);
}

void DeviceDialog::exitDialog()
{
    close();
}

void DeviceDialog::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void DeviceDialog::FormClose()
{
    emit treeChanged();
}

void DeviceDialog::nodeAddressKeyPress(QChar& key)
{
    numericOnly(key);
}

void DeviceDialog::registerKeyPress(QChar& key)
{
    numericOnly(key);
}

void DeviceDialog::lowerLimitKeyPress(QChar& key)
{
    numericOnly(key);
}

void DeviceDialog::upperLimitKeyPress(QChar& key)
{
    numericOnly(key);
}

void DeviceDialog::addressKeyPress(QChar& key)
{
    numericOnly(key);
}

void DeviceDialog::functionCodeKeyPress(QChar& key)
{
    numericOnly(key);
}
