#include "display/DataView.h"

#include "display/Cards.h"
#include "display/DataPanel.h"
#include "display/NodeCard.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"
#include "store/StationState.h"
#include "store/Query.h"

#include <QListWidget>

namespace {
void createNodeCard(DataPanel& panel, int cardNumber)
{
    Cards::create(panel, cardNumber);
    // Five lines for the fill that follows in the same call to overwrite.
    QListWidget* lines = panel.CardLists[cardNumber - 1];
    for (int i = 0; i < NodeCard::kLineCount; ++i)
        lines->addItem(QString());
}
} // namespace

void fillNodeCard(DataPanel& panel, int cardNumber)
{
    const NodeCard card = NodeCard::fromCurrentRow(panel.viewQuery);
    Cards::setHeader(panel, cardNumber, card.state, card.header);
    for (int i = 0; i < NodeCard::kLineCount; ++i)
        Cards::setLine(panel, cardNumber, i, card.lines[i]);
}

void ShowNodeView(DataPanel& panel, const QString& mode)
{
    Query& view = panel.viewQuery;
    view.close();
    panel.shownKind.clear();
    NodeTable(view).openNode(panel.selection.SelectedDeviceId, panel.selection.SelectedNodeName);
    view.first();
    if (mode == ViewMode::kCreate) {
        panel.CardCount = 1;
        createNodeCard(panel, 1);
        panel.fitToCards();
    }
    fillNodeCard(panel, 1);
    panel.shownKind = SelectionKind::kNode;
}

void ShowDeviceView(DataPanel& panel, const QString& mode)
{
    Query& view = panel.viewQuery;
    view.close();
    panel.shownKind.clear();
    NodeTable(view).openDevice(panel.selection.SelectedDeviceId);
    view.first();
    if (mode == ViewMode::kCreate) {
        panel.CardCount = 0;
        while (!view.eof() && panel.CardCount < DataPanel::kMaxCards) {
            ++panel.CardCount;
            createNodeCard(panel, panel.CardCount);
            view.next();
        }
        panel.fitToCards();
    }
    view.first();
    for (int card = 1; !view.eof(); ++card) {
        fillNodeCard(panel, card);
        view.next();
    }
    panel.shownKind = SelectionKind::kDevice;
}
