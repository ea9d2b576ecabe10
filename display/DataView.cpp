#include "display/DataView.h"

#include "app/TForm1.h"
#include "app/TFrame1.h"
#include "display/Cards.h"
#include "display/NodeCard.h"
#include "store/Query.h"

#include <QListWidget>

namespace {
const QString kCreate = QStringLiteral("创建");

void createNodeCard(TForm1& form, int cardNumber)
{
    Cards::create(form, cardNumber);
    // Five lines for the fill that follows in the same call to overwrite.
    QListWidget* lines = form.CardLists[cardNumber - 1];
    for (int i = 0; i < NodeCard::kLineCount; ++i)
        lines->addItem(QString());
}

void fillNodeCard(TForm1& form, int cardNumber)
{
    const NodeCard card = NodeCard::fromCurrentRow(*form.ADOQuery4);
    Cards::setHeader(form, cardNumber, card.state, card.header);
    for (int i = 0; i < NodeCard::kLineCount; ++i)
        Cards::setLine(form, cardNumber, i, card.lines[i]);
}
} // namespace

void ShowNodeView(TForm1& form, const QString& mode)
{
    Query& view = *form.ADOQuery4;
    view.close();
    view.setSql(DataView::kNodeStatement);
    view.setInt(QStringLiteral("device_id"), form.state.SelectedDeviceId);
    view.setText(QStringLiteral("node_name"), form.state.SelectedNodeName);
    view.open();
    view.first();
    if (mode == kCreate) {
        form.CardCount = 1;
        createNodeCard(form, 1);
        form.Frame11->updateExtent();
    }
    fillNodeCard(form, 1);
}

void ShowDeviceView(TForm1& form, const QString& mode)
{
    Query& view = *form.ADOQuery4;
    view.close();
    view.setSql(DataView::kDeviceStatement);
    view.setInt(QStringLiteral("device_id"), form.state.SelectedDeviceId);
    view.open();
    view.first();
    if (mode == kCreate) {
        form.CardCount = 0;
        while (!view.eof() && form.CardCount < TForm1::kMaxCards) {
            ++form.CardCount;
            createNodeCard(form, form.CardCount);
            view.next();
        }
        form.Frame11->updateExtent();
    }
    view.first();
    for (int card = 1; !view.eof(); ++card) {
        fillNodeCard(form, card);
        view.next();
    }
}
