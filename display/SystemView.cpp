#include "display/SystemView.h"

#include "display/Cards.h"
#include "display/DataPanel.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "store/Clock.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"
#include "store/Query.h"
#include "store/SurgeLogTable.h"

#include <QListWidget>

void ShowSystemView(DataPanel& panel, const QString& mode)
{
    Query& view = panel.viewQuery;
    view.close();
    panel.shownKind.clear();
    NodeTable(view).openAll();
    const QVector<OverviewRow> rows = OverviewContent::readRows(view);

    if (mode == ViewMode::kCreate) {
        panel.CardCount = 0;
        for (const QStringList& lines : OverviewContent::newCards(rows, DataPanel::kMaxCards)) {
            ++panel.CardCount;
            Cards::create(panel, panel.CardCount);
            panel.CardLists[panel.CardCount - 1]->addItems(lines);
        }
        panel.fitToCards();
    }

    const QDateTime clock = Clock::now();
    const qint64 now = RemainingLife::moment(clock);
    Query surgeQuery(view.connection());
    QHash<int, int> surges = SurgeLogTable(surgeQuery).lastThirtyDays(clock);
    const QVector<DeviceCardContent> cards = OverviewContent::refresh(rows, panel.CardCount, now, surges);
    for (int n = 1; n <= cards.size(); ++n)
        ShowOverviewCard(panel, n, cards.at(n - 1));
    panel.overview.take(rows, now, std::move(surges));
    panel.shownKind = SelectionKind::kSystem;
}

void ShowOverviewCard(DataPanel& panel, int cardNumber, const DeviceCardContent& card)
{
    Cards::setHeaderColour(panel, cardNumber, card.state);
    if (card.header)
        Cards::setHeaderText(panel, cardNumber, *card.header);
    for (int line = 0; line < card.lines.size(); ++line) {
        if (card.lines.at(line))
            Cards::setLine(panel, cardNumber, line, *card.lines.at(line));
    }
}
