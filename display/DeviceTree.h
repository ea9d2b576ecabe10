#pragma once

#include "display/TreeImages.h"

class QLabel;
class QString;
class QTreeWidget;
class QTreeWidgetItem;
class Query;
struct DataPanel;

// The device tree of the main window and the selection it drives. Each item
// keeps its selected-image index, which is also its kind, in Qt::UserRole:
// 0 the system, 1 a device, 2 a node.
namespace DeviceTree {
constexpr int kSystem = 0;
constexpr int kDevice = 1;
constexpr int kNode = 2;

// The address of the device an item stands for or belongs to, as the tree
// was built; 0 for the root.
int addressOf(const QTreeWidgetItem& item);
} // namespace DeviceTree

// Adds the root "监控系统", one item per device in address order and under it
// the device's nodes in name order, then expands everything. It never clears
// the tree: callers clear it first or call it on an empty tree.
void BuildDeviceTree(Query& treeQuery, QTreeWidget& tree, const TreeImageList& images);

// The click on a tree item (selectClickedItem): records the selection in
// panel.selection, sets the caption over the data view, frees the cards and
// creates the item's view. True when the selection changed, so polling must
// walk it; nothing happens without an item. Errors of a statement are thrown
// as AppError after the steps before them took effect.
bool SelectTreeItem(DataPanel& panel, QLabel& caption, QTreeWidgetItem* item);

// The system as the selection, as a click on the root makes it; starting
// monitoring does the same.
void ShowSystemSelection(DataPanel& panel, QLabel& caption);

// Refreshes the view of the current selection in the given mode.
void ShowSelectedView(DataPanel& panel, const QString& mode);
