#pragma once

class TForm1;

// Fills the main window's tree from node_record: the root, one item per device
// and its nodes.
void BuildDeviceTree(TForm1& form);

class QTreeWidgetItem;

// A click on a tree item: records the selection, shows its view and opens the
// scope query of the selection.
void SelectTreeItem(TForm1& form, QTreeWidgetItem* item);
