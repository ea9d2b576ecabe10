#include "display/DeviceTree.h"

#include "app/TForm1.h"
#include "display/Cards.h"
#include "display/DataView.h"
#include "display/ItemText.h"
#include "display/OverviewContent.h"
#include "display/SystemView.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QLabel>
#include <QTreeWidget>

namespace {
QTreeWidgetItem* newItem(TForm1& form, const QString& text, int imageIndex, int selectedIndex)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, form.ImageList1.at(imageIndex));
    item->setData(0, Qt::UserRole, selectedIndex);
    return item;
}

// The label sits at a fixed place without a layout: it must grow with its text.
void setCaption(TForm1& form, const QString& text)
{
    form.StaticText3->setText(text);
    form.StaticText3->adjustSize();
}

int deviceIdOf(const QTreeWidgetItem* item)
{
    return Text::toInt(AddressFromItemText(item ? item->text(0) : QString()));
}
} // namespace

void BuildDeviceTree(TForm1& form)
{
    Query& query = *form.ADOQuery2;
    query.close();
    query.setSql(QStringLiteral("select * from node_record order by  device_id ASC, node_name DESC"));
    query.open();

    auto* root = newItem(form, QStringLiteral("监控系统"), DeviceTree::kSystem, DeviceTree::kSystem);
    form.TreeView1->insertTopLevelItem(0, root);

    QString previousDevice;
    QTreeWidgetItem* lastNode = nullptr;
    query.first();
    const int rows = query.recordCount();
    for (int i = 0; i < rows; ++i) {
        const QString deviceId = query.fieldText(QStringLiteral("device_id"));
        const QString nodeName = query.fieldText(QStringLiteral("node_name"));
        auto* node = newItem(form, nodeName, DeviceTree::kNode, DeviceTree::kNode);
        if (deviceId != previousDevice) {
            previousDevice = deviceId;
            const QString text = deviceItemText(query.fieldText(QStringLiteral("device_name")), deviceId);
            auto* device = newItem(form, text, DeviceTree::kDevice, DeviceTree::kDevice);
            root->addChild(device);
            device->addChild(node);
            lastNode = node;
        } else if (lastNode) {
            // Rows come in descending name order: each goes in front, so the
            // device's nodes read in ascending order.
            lastNode->parent()->insertChild(0, node);
            lastNode = node;
        } else {
            // An empty device_id ahead of every device has no item to go under.
            delete node;
        }
        query.next();
    }
    form.TreeView1->expandAll();
}

void SelectTreeItem(TForm1& form, QTreeWidgetItem* item)
{
    if (!item)
        return;
    MainState& state = form.state;
    switch (item->data(0, Qt::UserRole).toInt()) {
    case DeviceTree::kSystem:
        state.SelectedKind = QStringLiteral("监控系统");
        setCaption(form, QStringLiteral("系统数据"));
        FreeCards(form);
        ShowSystemView(form, QStringLiteral("创建"));
        OpenScopeQuery(form, QStringLiteral("系统"));
        break;
    case DeviceTree::kDevice:
        state.SelectedKind = QStringLiteral("设备");
        state.SelectedDeviceId = deviceIdOf(item);
        setCaption(form, item->text(0));
        FreeCards(form);
        ShowDeviceView(form, QStringLiteral("创建"));
        OpenScopeQuery(form, QStringLiteral("设备"));
        break;
    case DeviceTree::kNode:
        state.SelectedKind = QStringLiteral("节点");
        state.SelectedDeviceId = deviceIdOf(item->parent());
        state.SelectedNodeName = item->text(0);
        setCaption(form, item->text(0) + QStringLiteral("   ") +
                             (item->parent() ? item->parent()->text(0) : QString()));
        FreeCards(form);
        ShowNodeView(form, QStringLiteral("创建"));
        OpenScopeQuery(form, QStringLiteral("节点"));
        break;
    default:
        break;
    }
}

void OpenScopeQuery(TForm1& form, const QString& kind)
{
    Query& scope = *form.ADOQuery3;
    if (kind == QStringLiteral("节点")) {
        scope.setSql(DataView::kNodeStatement);
        scope.setInt(QStringLiteral("device_id"), form.state.SelectedDeviceId);
        scope.setText(QStringLiteral("node_name"), form.state.SelectedNodeName);
    } else if (kind == QStringLiteral("设备")) {
        scope.setSql(DataView::kDeviceStatement);
        scope.setInt(QStringLiteral("device_id"), form.state.SelectedDeviceId);
    } else if (kind == QStringLiteral("系统")) {
        scope.setSql(OverviewContent::kStatement);
    } else {
        return;
    }
    scope.open();
    scope.first();
}
