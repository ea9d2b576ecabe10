#pragma once

class QString;
class TForm1;

// The node and device views of the data view, read through ADOQuery4 from the
// selection in form.state. mode "创建" creates the cards (right after
// FreeCards) and fills them; any other text, "更新" from the poll cycle, only
// refills the cards that exist: no control is created or freed and CardCount
// stays. Database errors are thrown as AppError.

// One card for the node (SelectedDeviceId, SelectedNodeName).
void ShowNodeView(TForm1& form, const QString& mode);

// One card per node of device SelectedDeviceId, in node name order.
void ShowDeviceView(TForm1& form, const QString& mode);
