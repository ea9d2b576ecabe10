#include "display/DeviceTree.h"

#include "app/TForm1.h"

#include <QTreeWidget>

void BuildDeviceTree(TForm1& form)
{
    form.TreeView1->clear();
}

void SelectTreeItem(TForm1&, QTreeWidgetItem*) {}
