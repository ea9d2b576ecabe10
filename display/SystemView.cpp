#include "display/SystemView.h"

#include "app/TForm1.h"
#include "app/TFrame1.h"
#include "display/Cards.h"
#include "display/OverviewContent.h"
#include "display/RemainingLife.h"
#include "store/Clock.h"
#include "store/Query.h"

#include <QListWidget>

void ShowSystemView(TForm1& form, const QString& mode)
{
    Query& view = *form.ADOQuery4;
    view.close();
    view.setSql(OverviewContent::kStatement);
    view.open();
    const QVector<OverviewRow> rows = OverviewContent::readRows(view);

    if (mode == QStringLiteral("创建")) {
        form.CardCount = 0;
        for (const QStringList& lines : OverviewContent::newCards(rows, TForm1::kMaxCards)) {
            ++form.CardCount;
            Cards::create(form, form.CardCount);
            form.CardLists[form.CardCount - 1]->addItems(lines);
        }
        form.Frame11->updateExtent();
    }

    const QVector<DeviceCardContent> cards =
        OverviewContent::refresh(rows, form.CardCount, RemainingLife::moment(Clock::now()));
    for (int n = 1; n <= cards.size(); ++n) {
        const DeviceCardContent& card = cards.at(n - 1);
        Cards::setHeaderColour(form, n, card.state);
        if (card.header)
            Cards::setHeaderText(form, n, *card.header);
        for (int line = 0; line < card.lines.size(); ++line) {
            if (card.lines.at(line))
                Cards::setLine(form, n, line, *card.lines.at(line));
        }
    }
}
