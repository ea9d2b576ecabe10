#pragma once

#include <QString>

struct DataPanel;

// The node and device views of the data view, read through viewQuery from the
// selection in panel.selection. mode "创建" creates the cards (right after
// FreeCards) and fills them; any other text, "更新" from the poll cycle, only
// refills the cards that exist: no control is created or freed and CardCount
// stays. Database errors are thrown as AppError.

// One card for the node (SelectedDeviceId, SelectedNodeName).
void ShowNodeView(DataPanel& panel, const QString& mode);

// One card per node of device SelectedDeviceId, in node name order.
void ShowDeviceView(DataPanel& panel, const QString& mode);

// Fills card n from the current row of viewQuery.
void fillNodeCard(DataPanel& panel, int cardNumber);
