#include "device/TForm5.h"

#include "device/NodeWrites.h"
#include "device/StandardNodes.h"
#include "display/DeviceTree.h"
#include "kit/Guarded.h"
#include "kit/KeyFilter.h"
#include "kit/MessageBox.h"
#include "kit/TreePick.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
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

} // namespace

TForm5::TForm5(Connection& connection, Query& treeQuery, const TreeImageList& images)
    : ADOQuery1(new Query(connection, this)), m_treeQuery(treeQuery), m_images(images)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("设备管理"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(kDesignWidth, kHeight);

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(8, 8, 217, kHeight - 16);
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    prepareTreeForImages(*TreeView1);

    const auto button = [this](const char* name, const QString& caption, int top) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(456, top, 81, 33);
        // Enter in a field must not press a button by itself.
        b->setAutoDefault(false);
        return b;
    };
    Button4 = button("Button4", QStringLiteral("添加"), 24);
    Button1 = button("Button1", QStringLiteral("保存"), 72);
    Button2 = button("Button2", QStringLiteral("删除 "), 120);
    Button3 = button("Button3", QStringLiteral("退出"), 168);

    createNodeGroup();
    createDeviceGroup();

    KeyFilter::install(Edit1, [this](QChar& k) { Edit1KeyPress(k); });
    KeyFilter::install(Edit4, [this](QChar& k) { Edit4KeyPress(k); });
    KeyFilter::install(Edit5, [this](QChar& k) { Edit5KeyPress(k); });
    KeyFilter::install(Edit6, [this](QChar& k) { Edit6KeyPress(k); });
    KeyFilter::install(Edit7, [this](QChar& k) { Edit7KeyPress(k); });
    KeyFilter::install(ComboBox3, [this](QChar& k) { ComboBox3KeyPress(k); });

    TreePick::install(TreeView1, [this]() { TreeView1Click(); });
    // Only the operator's changes count: typing or picking, not the dialog's own filling.
    connect(ComboBox4, &QComboBox::textActivated, this, &TForm5::ComboBox4Change);
    connect(ComboBox4->lineEdit(), &QLineEdit::textEdited, this, &TForm5::ComboBox4Change);
    connect(Button4, &QPushButton::clicked, this, &TForm5::Button4Click);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
}

void TForm5::createNodeGroup()
{
    GroupBox1 = makeGroup(this, "GroupBox1", kGroupLeft);
    StaticText2 = makeLabel(GroupBox1, "StaticText2", QStringLiteral("485 ID"), 0);
    Edit1 = makeEdit(GroupBox1, "Edit1", 0);
    StaticText3 = makeLabel(GroupBox1, "StaticText3", QStringLiteral("设备名称"), 1);
    Edit2 = makeEdit(GroupBox1, "Edit2", 1);
    StaticText4 = makeLabel(GroupBox1, "StaticText4", QStringLiteral("节点名称"), 2);
    Edit3 = makeEdit(GroupBox1, "Edit3", 2);
    StaticText5 = makeLabel(GroupBox1, "StaticText5", QStringLiteral("节点代码"), 3);
    ComboBox3 = makeCombo(GroupBox1, "ComboBox3", {QStringLiteral("3"), QStringLiteral("4")}, 3);
    StaticText6 = makeLabel(GroupBox1, "StaticText6", QStringLiteral("节点地址"), 4);
    Edit4 = makeEdit(GroupBox1, "Edit4", 4);
    StaticText7 = makeLabel(GroupBox1, "StaticText7", QStringLiteral("数据类型"), 5);
    ComboBox4 = makeCombo(GroupBox1, "ComboBox4", {NodeTexts::kSwitch, NodeTexts::kAnalogue}, 5);
    StaticText8 = makeLabel(GroupBox1, "StaticText8", QStringLiteral("报警类型"), 6);
    ComboBox5 = makeCombo(GroupBox1, "ComboBox5", {NodeTexts::kZeroNormal, NodeTexts::kFfffNormal}, 6);
    StaticText9 = makeLabel(GroupBox1, "StaticText9", QStringLiteral("报警下限"), 7);
    Edit5 = makeEdit(GroupBox1, "Edit5", 7);
    StaticText10 = makeLabel(GroupBox1, "StaticText10", QStringLiteral("报警上限"), 8);
    Edit6 = makeEdit(GroupBox1, "Edit6", 8);
}

void TForm5::createDeviceGroup()
{
    GroupBox2 = makeGroup(this, "GroupBox2", kDesignDeviceLeft);
    StaticText1 = makeLabel(GroupBox2, "StaticText1", QStringLiteral("485 ID"), 0);
    Edit7 = makeEdit(GroupBox2, "Edit7", 0);
    StaticText11 = makeLabel(GroupBox2, "StaticText11", QStringLiteral("设备名称"), 1);
    Edit8 = makeEdit(GroupBox2, "Edit8", 1);
    StaticText13 = makeLabel(GroupBox2, "StaticText13", QStringLiteral("安装日期"), 2);
    DateTimePicker1 = place(new QDateTimeEdit(GroupBox2), "DateTimePicker1", 2);
    DateTimePicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    DateTimePicker1->setCalendarPopup(true);
    StaticText12 = makeLabel(GroupBox2, "StaticText12", QStringLiteral("设备类型"), 3);
    ComboBox1 = place(new QComboBox(GroupBox2), "ComboBox1", 3);
    ComboBox1->addItem(StandardNodes::kKpv);
    ComboBox1->setCurrentIndex(-1); // no type until the operator picks one
}

void TForm5::showEvent(QShowEvent* event)
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

void TForm5::FormShow()
{
    guarded([this]() {
        setFixedWidth(kRunWidth);
        GroupBox1->hide();
        GroupBox2->move(kGroupLeft, GroupBox2->y());
        GroupBox2->show();
        Edit7->clear();
        Edit8->clear();
        Button1->setEnabled(false);
        Button2->setEnabled(false);
        BuildDialogTree();
        ShowFieldsForKind(DialogKind);
        DateTimePicker1->setDateTime(Clock::now());
    });
}

void TForm5::BuildDialogTree()
{
    TreeView1->clear();
    BuildDeviceTree(m_treeQuery, *TreeView1, m_images);
}

void TForm5::TreeView1Click()
{
    guarded([this]() {
        QTreeWidgetItem* item = TreeView1->currentItem();
        if (!item || TreeView1->selectedItems().isEmpty())
            return;
        GroupBox2->hide();
        // Save and Delete wait for the pick to be complete: one that fails leaves them off.
        Button1->setEnabled(false);
        Button2->setEnabled(false);
        switch (item->data(0, Qt::UserRole).toInt()) {
        case DeviceTree::kSystem:
            GroupBox1->hide();
            DialogKind = SelectionKind::kSystem;
            ShowFieldsForKind(DialogKind);
            break;
        case DeviceTree::kDevice:
            GroupBox1->hide();
            GroupBox2->show();
            DialogKind = SelectionKind::kDevice;
            DialogDeviceId = DeviceTree::addressOf(*item);
            ShowFieldsForKind(DialogKind);
            Edit7->setEnabled(false);
            Edit7->setText(QString::number(DialogDeviceId));
            // The type of an existing device cannot be changed.
            StaticText12->hide();
            ComboBox1->hide();
            ADOQuery1->close();
            ADOQuery1->setSql(NodeWrites::kDeviceRows);
            ADOQuery1->setInt(QStringLiteral("modify_id"), DialogDeviceId);
            ADOQuery1->open();
            if (ADOQuery1->recordCount() >= 1) {
                ADOQuery1->first();
                Edit8->setText(ADOQuery1->fieldText(QStringLiteral("device_name")));
                DateTimePicker1->setDateTime(ADOQuery1->fieldDateTime(QStringLiteral("install_date")));
                ADOQuery1->close();
            }
            Button1->setEnabled(true);
            Button2->setEnabled(true);
            break;
        case DeviceTree::kNode:
            GroupBox1->show();
            DialogKind = SelectionKind::kNode;
            DialogDeviceId = DeviceTree::addressOf(*item);
            DialogNodeName = item->text(0);
            ShowFieldsForKind(DialogKind);
            // A node stays with its device here.
            Edit1->setEnabled(false);
            Button1->setEnabled(true);
            Button2->setEnabled(true);
            break;
        default:
            break;
        }
    });
}

void TForm5::ShowFieldsForKind(const QString& kind)
{
    const std::pair<QWidget*, QLabel*> pairs[] = {
        {Edit3, StaticText4},     {ComboBox3, StaticText5}, {Edit4, StaticText6},  {ComboBox4, StaticText7},
        {ComboBox5, StaticText8}, {Edit5, StaticText9},     {Edit6, StaticText10},
    };
    if (kind == SelectionKind::kSystem) {
        for (QLineEdit* edit : {Edit1, Edit2}) {
            edit->clear();
            edit->setEnabled(true);
        }
        for (int i = 0; i < 4; ++i) {
            setFieldText(pairs[i].first, QString());
            turnOn(pairs[i].first, pairs[i].second);
        }
        for (int i = 4; i < 7; ++i)
            turnOff(pairs[i].first, pairs[i].second);
        GroupBox1->hide();
    } else if (kind == SelectionKind::kDevice) {
        ADOQuery1->close();
        ADOQuery1->setSql(
            QStringLiteral("select * from node_record   where device_id=:modify_id order by node_name"));
        ADOQuery1->setInt(QStringLiteral("modify_id"), DialogDeviceId);
        ADOQuery1->open();
        ADOQuery1->first();
        Edit1->setText(textOf(*ADOQuery1, "device_id"));
        Edit2->setText(textOf(*ADOQuery1, "device_name"));
        Edit1->setEnabled(true);
        Edit2->setEnabled(true);
        for (const auto& [field, label] : pairs)
            turnOff(field, label);
    } else if (kind == SelectionKind::kNode) {
        ADOQuery1->close();
        ADOQuery1->setSql(NodeWrites::kOneNode);
        ADOQuery1->setInt(QStringLiteral("modify_id"), DialogDeviceId);
        ADOQuery1->setText(QStringLiteral("modify_node"), DialogNodeName);
        ADOQuery1->open();
        ADOQuery1->first();
        Edit1->setText(textOf(*ADOQuery1, "device_id"));
        Edit2->setText(textOf(*ADOQuery1, "device_name"));
        Edit1->setEnabled(true);
        Edit2->setEnabled(true);
        const char* const columns[] = {"node_name", "node_code", "node_reg_add", "con_data_type"};
        for (int i = 0; i < 4; ++i) {
            setFieldText(pairs[i].first, textOf(*ADOQuery1, columns[i]));
            turnOn(pairs[i].first, pairs[i].second);
        }
        if (textOf(*ADOQuery1, "con_data_type") == NodeTexts::kSwitch) {
            StaticText8->show();
            ComboBox5->setEditText(textOf(*ADOQuery1, "node_alarm_type"));
            turnOn(ComboBox5, StaticText8);
            turnOff(Edit5, StaticText9);
            turnOff(Edit6, StaticText10);
        } else {
            turnOff(ComboBox5, StaticText8);
            Edit5->setText(textOf(*ADOQuery1, "node_data_lower"));
            Edit6->setText(textOf(*ADOQuery1, "node_data_upper"));
            turnOn(Edit5, StaticText9);
            turnOn(Edit6, StaticText10);
        }
    }
}

void TForm5::ComboBox4Change()
{
    if (ComboBox4->currentText() == NodeTexts::kSwitch) {
        ComboBox5->setEditText(NodeTexts::kZeroNormal);
        turnOn(ComboBox5, StaticText8);
        turnOff(Edit5, StaticText9);
        turnOff(Edit6, StaticText10);
    } else {
        turnOff(ComboBox5, StaticText8);
        turnOn(Edit5, StaticText9);
        turnOn(Edit6, StaticText10);
    }
}

void TForm5::Button4Click()
{
    GroupBox1->hide();
    GroupBox2->show();
    Edit7->clear();
    Edit8->clear();
    Edit7->setEnabled(true);
    StaticText12->show();
    ComboBox1->show();
    Button1->setEnabled(true);
    Button2->setEnabled(false);
    DialogKind = kAddDevice;
}

void TForm5::Button1Click()
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

void TForm5::refuse(const DeviceChecks::Refusal& refusal, bool nodeGroup)
{
    using DeviceChecks::Field;
    MessageBox::show(refusal.message, this);
    QWidget* field = nullptr;
    switch (refusal.field) {
    case Field::Address:
        field = nodeGroup ? Edit1 : Edit7;
        break;
    case Field::DeviceName:
        field = nodeGroup ? Edit2 : Edit8;
        break;
    case Field::DeviceType:
        field = ComboBox1;
        break;
    case Field::NodeName:
        field = Edit3;
        break;
    case Field::Code:
        field = ComboBox3;
        break;
    case Field::Register:
        field = Edit4;
        break;
    case Field::DataType:
        field = ComboBox4;
        break;
    case Field::AlarmType:
        field = ComboBox5;
        break;
    case Field::Lower:
        field = Edit5;
        break;
    case Field::Upper:
        field = Edit6;
        break;
    }
    field->setFocus();
}

void TForm5::AddDeviceWithStandardNodes()
{
    if (const auto refused =
            DeviceChecks::newDevice(Edit7->text(), Edit8->text(), ComboBox1->currentText())) {
        refuse(*refused, false);
        return;
    }
    // The address is looked up as the number that is written, whatever its spelling.
    const int address = Text::toInt(Edit7->text());
    ADOQuery1->close();
    ADOQuery1->setSql(NodeWrites::kDeviceRows);
    ADOQuery1->setInt(QStringLiteral("modify_id"), address);
    ADOQuery1->open();
    if (ADOQuery1->recordCount() >= 1) {
        refuse({QStringLiteral("设备地址已经存在,请重新填写"), DeviceChecks::Field::Address}, false);
        return;
    }
    if (ComboBox1->currentText() == StandardNodes::kKpv) {
        StandardNodes::insertKpv(*ADOQuery1, address, Text::trimmed(Edit8->text()),
                                 DateTimePicker1->dateTime());
        MessageBox::show(QStringLiteral("设备添加成功"), this);
        ADOQuery1->close();
    }
    // The fields keep their texts, so the next device is one correction away.
    BuildDialogTree();
}

void TForm5::saveDevice()
{
    if (const auto refused = DeviceChecks::changedDevice(Edit7->text(), Edit8->text())) {
        refuse(*refused, false);
        return;
    }
    // After a save nothing is picked any more, while the fields still show the device.
    if (NodeWrites::saveDevice(*ADOQuery1, DialogDeviceId, Edit7->text(), Edit8->text(),
                               DateTimePicker1->dateTime()) == 0) {
        MessageBox::show(QStringLiteral("未选中设备"), this);
        return;
    }
    MessageBox::show(QStringLiteral("修改成功"), this);
    ADOQuery1->close();
    resetPick(SelectionKind::kDevice);
}

void TForm5::saveNode()
{
    const DeviceChecks::NodeInput in{Edit1->text(),
                                     Edit2->text(),
                                     Edit3->text(),
                                     ComboBox3->currentText(),
                                     Edit4->text(),
                                     ComboBox4->currentText(),
                                     ComboBox5->currentText(),
                                     Edit5->text(),
                                     Edit6->text()};
    if (const auto refused = DeviceChecks::node(in)) {
        refuse(*refused, true);
        return;
    }
    const bool added = NodeWrites::saveNode(*ADOQuery1, in);
    MessageBox::show(added ? QStringLiteral("节点添加成功") : QStringLiteral("节点修改成功"), this);
    ADOQuery1->close();
    resetPick(SelectionKind::kSystem);
}

void TForm5::Button2Click()
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
            ADOQuery1->setSql(QStringLiteral(
                "Delete from node_record where (device_id=:device_id)and(node_name=:node_name) "));
            ADOQuery1->setInt(QStringLiteral("device_id"), DialogDeviceId);
            ADOQuery1->setText(QStringLiteral("node_name"), DialogNodeName);
            ADOQuery1->execSql();
            emit nodesRemoved(DialogDeviceId, {DialogNodeName});
            MessageBox::show(QStringLiteral("节点删除成功"), this);
            resetPick(SelectionKind::kSystem);
        }
        if (DialogKind == SelectionKind::kDevice) {
            if (DialogDeviceId == 0) {
                MessageBox::show(QStringLiteral("未选中设备"), this);
                return;
            }
            const QStringList nodeNames = NodeWrites::nodeNames(*ADOQuery1, DialogDeviceId);
            ADOQuery1->setSql(QStringLiteral("Delete from node_record where (device_id=:device_id) "));
            ADOQuery1->setInt(QStringLiteral("device_id"), DialogDeviceId);
            ADOQuery1->execSql();
            emit nodesRemoved(DialogDeviceId, nodeNames);
            MessageBox::show(QStringLiteral("设备删除成功"), this);
            resetPick(SelectionKind::kSystem);
        }
    });
}

void TForm5::resetPick(const QString& kind)
{
    BuildDialogTree();
    DialogNodeName.clear();
    DialogDeviceId = 0;
    DialogKind = kind;
    ShowFieldsForKind(kind);
}

void TForm5::Button3Click()
{
    close();
}

void TForm5::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm5::FormClose()
{
    emit treeChanged();
}

void TForm5::Edit1KeyPress(QChar& key)
{
    numericOnly(key);
}

void TForm5::Edit4KeyPress(QChar& key)
{
    numericOnly(key);
}

void TForm5::Edit5KeyPress(QChar& key)
{
    numericOnly(key);
}

void TForm5::Edit6KeyPress(QChar& key)
{
    numericOnly(key);
}

void TForm5::Edit7KeyPress(QChar& key)
{
    numericOnly(key);
}

void TForm5::ComboBox3KeyPress(QChar& key)
{
    numericOnly(key);
}
