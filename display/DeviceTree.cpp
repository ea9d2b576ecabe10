#include "display/DeviceTree.h"

#include "display/Cards.h"
#include "display/DataPanel.h"
#include "display/DataView.h"
#include "display/ItemText.h"
#include "display/SystemView.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"
#include "store/Query.h"
#include "store/StationState.h"

#include <QLabel>
#include <QTreeWidget>

namespace {
// The device address an item was made for; its text may hold any name.
constexpr int kAddressRole = Qt::UserRole + 1;

QTreeWidgetItem* newItem(const TreeImageList& images, const QString& text, int imageIndex, int selectedIndex,
                         int address = 0)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, images.at(imageIndex));
    item->setData(0, Qt::UserRole, selectedIndex);
    item->setData(0, kAddressRole, address);
    return item;
}

// The label sits at a fixed place without a layout: it must grow with its text.
void setCaption(QLabel& caption, const QString& text)
{
    caption.setText(text);
    caption.adjustSize();
}
} // namespace

int DeviceTree::addressOf(const QTreeWidgetItem& item)
{
    return item.data(0, kAddressRole).toInt();
}

void BuildDeviceTree(Query& query, QTreeWidget& tree, const TreeImageList& images)
{
    NodeTable(query).openForTree();

    auto* root = newItem(images, SelectionKind::kSystem, DeviceTree::kSystem, DeviceTree::kSystem);
    tree.insertTopLevelItem(0, root);

    QString previousDevice;
    QTreeWidgetItem* lastNode = nullptr;
    query.first();
    const int rows = query.recordCount();
    for (int i = 0; i < rows; ++i) {
        const QString deviceId = query.fieldText(QStringLiteral("device_id"));
        const int address = query.fieldInt(QStringLiteral("device_id"));
        const QString nodeName = query.fieldText(QStringLiteral("node_name"));
        auto* node = newItem(images, nodeName, DeviceTree::kNode, DeviceTree::kNode, address);
        if (deviceId != previousDevice) {
            previousDevice = deviceId;
            const QString text = deviceItemText(query.fieldText(QStringLiteral("device_name")), deviceId);
            auto* device = newItem(images, text, DeviceTree::kDevice, DeviceTree::kDevice, address);
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
    tree.expandAll();
}

void ShowSystemSelection(DataPanel& panel, QLabel& caption)
{
    panel.selection.SelectedKind = SelectionKind::kSystem;
    setCaption(caption, QStringLiteral("系统数据"));
    FreeCards(panel);
    ShowSystemView(panel, ViewMode::kCreate);
}

bool SelectTreeItem(DataPanel& panel, QLabel& caption, QTreeWidgetItem* item)
{
    if (!item)
        return false;
    Selection& selection = panel.selection;
    switch (item->data(0, Qt::UserRole).toInt()) {
    case DeviceTree::kSystem:
        ShowSystemSelection(panel, caption);
        return true;
    case DeviceTree::kDevice:
        selection.SelectedKind = SelectionKind::kDevice;
        selection.SelectedDeviceId = DeviceTree::addressOf(*item);
        setCaption(caption, item->text(0));
        FreeCards(panel);
        ShowDeviceView(panel, ViewMode::kCreate);
        return true;
    case DeviceTree::kNode:
        selection.SelectedKind = SelectionKind::kNode;
        selection.SelectedDeviceId = DeviceTree::addressOf(*item);
        selection.SelectedNodeName = item->text(0);
        setCaption(caption, item->text(0) + QStringLiteral("   ") +
                                (item->parent() ? item->parent()->text(0) : QString()));
        FreeCards(panel);
        ShowNodeView(panel, ViewMode::kCreate);
        return true;
    default:
        return false;
    }
}

void ShowSelectedView(DataPanel& panel, const QString& mode)
{
    const QString& kind = panel.selection.SelectedKind;
    if (kind == SelectionKind::kSystem)
        ShowSystemView(panel, mode);
    else if (kind == SelectionKind::kDevice)
        ShowDeviceView(panel, mode);
    else if (kind == SelectionKind::kNode)
        ShowNodeView(panel, mode);
}
