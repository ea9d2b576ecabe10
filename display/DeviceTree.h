#pragma once

class QString;
class QTreeWidgetItem;
class TForm1;

// The device tree of the main window and the selection it drives. Each item
// keeps its selected-image index, which is also its kind, in Qt::UserRole:
// 0 the system, 1 a device, 2 a node.
namespace DeviceTree {
constexpr int kSystem = 0;
constexpr int kDevice = 1;
constexpr int kNode = 2;
} // namespace DeviceTree

// Adds the root "监控系统", one item per device in address order and under it
// the device's nodes in name order, then expands everything. It never clears
// the tree: callers clear it first or call it on an empty tree.
void BuildDeviceTree(TForm1& form);

// The click on a tree item (TreeView1Click): records the selection in
// form.state, sets the caption over the data view, frees the cards, creates
// the item's view and opens the scope query on it. Does nothing without an
// item. Errors (a statement, an address without digits) are thrown as
// AppError after the steps before them took effect.
void SelectTreeItem(TForm1& form, QTreeWidgetItem* item);

// Reopens ADOQuery3, the rows the poll cycle walks, on the selection:
// kind "系统" all nodes, "设备" the nodes of SelectedDeviceId, "节点" the node
// (SelectedDeviceId, SelectedNodeName); it stands on its first row afterwards.
// Any other kind leaves the query as it is.
void OpenScopeQuery(TForm1& form, const QString& kind);
