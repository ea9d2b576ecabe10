#include "display/StepRefresh.h"

#include "display/DataPanel.h"
#include "display/DataView.h"
#include "display/DeviceTree.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "display/SystemView.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
#include "store/PollStepResult.h"
#include "store/Query.h"
#include "store/StationState.h"

namespace {
// False when only a full refresh shows the view right.
bool refreshPolledCard(DataPanel& panel, const PolledRow& polled)
{
    Query& view = panel.viewQuery;
    const QString& kind = panel.selection.SelectedKind;
    if (kind != panel.shownKind || !view.isActive() || polled.written.isEmpty() || polled.fileChanged)
        return false;
    const int row = view.rowOfId(polled.rowId, polled.row);
    if (row < 0)
        return false;
    // Only what the step wrote: the scope's other columns are as old as the
    // scope, while the view took another program's edits at its last full refresh.
    QVector<QVariant> values = view.heldRow(row);
    for (auto it = polled.written.cbegin(); it != polled.written.cend(); ++it) {
        const int index = int(view.columnNames().indexOf(it.key()));
        if (index >= 0)
            values[index] = it.value();
    }
    view.replaceHeldRow(row, values);
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

bool ShowPolledRow(DataPanel& panel, const PolledRow& polled, bool passEnded)
{
    if (!passEnded && polled.row >= 0 && refreshPolledCard(panel, polled))
        return false;
    ShowSelectedView(panel, ViewMode::kUpdate);
    return true;
}
