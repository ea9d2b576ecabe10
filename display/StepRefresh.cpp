#include "display/StepRefresh.h"

#include "display/DataPanel.h"
#include "display/DataView.h"
#include "display/DeviceTree.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "display/SystemView.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
#include "store/StationState.h"
#include "store/Query.h"

namespace {
// False when only a full refresh shows the view right.
bool refreshPolledCard(DataPanel& panel, const Query& scope, int polledRow)
{
    Query& view = panel.viewQuery;
    const QString& kind = panel.selection.SelectedKind;
    if (kind != panel.shownKind || !view.isActive() || !scope.isActive() ||
        scope.columnNames() != view.columnNames() ||
        view.connection().dataVersion() != panel.shownDataVersion)
        return false;
    const int row = view.rowOfId(scope.rowId(polledRow), polledRow);
    if (row < 0)
        return false;
    view.replaceHeldRow(row, scope.heldRow(polledRow));
    view.setRecNo(row);
    if (kind != SelectionKind::kSystem) {
        // One node card per row, in row order.
        fillNodeCard(panel, row + 1);
        return true;
    }
    const OverviewRow content = OverviewContent::readRow(view);
    const std::optional<DeviceCardContent> card =
        panel.overview.replaceRow(row, content, RemainingLife::moment(Clock::now()));
    if (!card)
        return false;
    ShowOverviewCard(panel, panel.overview.cardOfDevice.value(content.deviceId), *card);
    return true;
}
} // namespace

void ShowPolledRow(DataPanel& panel, const Query& scope, int polledRow, bool passEnded)
{
    if (passEnded || polledRow < 0 || !refreshPolledCard(panel, scope, polledRow))
        ShowSelectedView(panel, ViewMode::kUpdate);
}
