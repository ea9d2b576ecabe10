#pragma once

class QString;
struct DataPanel;
struct DeviceCardContent;

// The system overview on cardFrame: one card per device in ascending address
// order, read through the panel's viewQuery. mode "创建" creates the cards (right after
// FreeCards) and fills them; any other text, "更新" from the poll cycle after
// every poll step, only rewrites the texts and colours that changed: no
// control is created or freed and CardCount stays. The work per refresh grows
// linearly with the number of nodes. Database errors are thrown as AppError.
void ShowSystemView(DataPanel& panel, const QString& mode);

// Writes what a refresh gives for card n into its controls.
void ShowOverviewCard(DataPanel& panel, int cardNumber, const DeviceCardContent& card);
