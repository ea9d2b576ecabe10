#pragma once

class QString;
class TForm1;

// The system overview on Frame11: one card per device in ascending address
// order, read through ADOQuery4. mode "创建" creates the cards (right after
// FreeCards) and fills them; any other text, "更新" from the poll cycle after
// every poll step, only rewrites the texts and colours that changed: no
// control is created or freed and CardCount stays. The work per refresh grows
// linearly with the number of nodes. Database errors are thrown as AppError.
void ShowSystemView(TForm1& form, const QString& mode);
