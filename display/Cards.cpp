#include "display/Cards.h"

#include "display/CardLayout.h"
#include "display/DataPanel.h"
#include "store/FixedTexts.h"
#include "store/StationState.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace Cards {

namespace {
QFont cardFont(const DataPanel& panel, bool bold)
{
    QFont font = panel.host->font();
    font.setPointSize(10);
    font.setBold(bold);
    return font;
}

QLineEdit* header(DataPanel& panel, int cardNumber)
{
    if (cardNumber < 1 || cardNumber > DataPanel::kMaxCards)
        return nullptr;
    return panel.CardHeaders[cardNumber - 1];
}

QListWidget* list(DataPanel& panel, int cardNumber)
{
    if (cardNumber < 1 || cardNumber > DataPanel::kMaxCards)
        return nullptr;
    return panel.CardLists[cardNumber - 1];
}

// The header's own size, or a smaller one down to 7 points where a long name
// would otherwise be cut: the whole name and address stay in sight.
void fitHeaderFont(const DataPanel& panel, QLineEdit* edit)
{
    QFont font = cardFont(panel, true);
    // The edit keeps two pixels each side and one for the cursor.
    const int room = edit->contentsRect().width() - 5;
    for (qreal size = font.pointSizeF();
         size > 7 && QFontMetrics(font).horizontalAdvance(edit->text()) > room;) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    if (edit->font() != font)
        edit->setFont(font);
}
} // namespace

QColor colour(CardState state)
{
    switch (state) {
    case CardState::Alarm:
        return QColor(231, 0, 0);
    case CardState::CommLoss:
        return QColor(255, 255, 0);
    case CardState::Normal:
        break;
    }
    return QColor(192, 220, 192);
}

void create(DataPanel& panel, int cardNumber)
{
    QWidget* host = panel.host;

    auto* edit = new QLineEdit(host);
    edit->setObjectName(QStringLiteral("CardHeader%1").arg(cardNumber));
    edit->setGeometry(CardLayout::headerRect(cardNumber));
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFont(cardFont(panel, true));
    edit->setAutoFillBackground(true);
    panel.CardHeaders[cardNumber - 1] = edit;
    setHeaderColour(panel, cardNumber, CardState::Normal);

    auto* lines = new QListWidget(host);
    lines->setObjectName(QStringLiteral("CardList%1").arg(cardNumber));
    lines->setGeometry(CardLayout::listRect(cardNumber));
    // Flat: a plain line round the list, no sunken 3-D edge.
    lines->setFrameShape(QFrame::Box);
    lines->setFrameShadow(QFrame::Plain);
    lines->setLineWidth(1);
    lines->setFont(cardFont(panel, false));
    // A long line goes on below rather than bringing up a scroll bar that
    // would hide the last line.
    lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lines->setTextElideMode(Qt::ElideNone);
    lines->setWordWrap(true);
    panel.CardLists[cardNumber - 1] = lines;

    edit->show();
    lines->show();
}

void setHeaderColour(DataPanel& panel, int cardNumber, CardState state)
{
    QLineEdit* edit = header(panel, cardNumber);
    if (!edit)
        return;
    const QColor wanted = colour(state);
    QPalette pal = edit->palette();
    if (pal.color(QPalette::Base) == wanted)
        return;
    pal.setColor(QPalette::Base, wanted);
    pal.setColor(QPalette::Window, wanted);
    edit->setPalette(pal);
}

void setHeaderText(DataPanel& panel, int cardNumber, const QString& text)
{
    QLineEdit* edit = header(panel, cardNumber);
    if (edit && edit->text() != text) {
        edit->setText(text);
        fitHeaderFont(panel, edit);
        edit->setCursorPosition(0);
    }
}

void setHeader(DataPanel& panel, int cardNumber, CardState state, const QString& text)
{
    setHeaderColour(panel, cardNumber, state);
    setHeaderText(panel, cardNumber, text);
}

void setUnacknowledgedMark(DataPanel& panel, int cardNumber, bool marked)
{
    if (!header(panel, cardNumber))
        return;
    QLabel*& mark = panel.CardMarks[cardNumber - 1];
    if (!marked) {
        delete mark;
        mark = nullptr;
        return;
    }
    if (mark)
        return;
    // Above the header, clear of its text: a long name stays readable.
    mark = new QLabel(QStringLiteral("未确认"), panel.host);
    mark->setObjectName(QStringLiteral("unacknowledgedMark"));
    mark->setAlignment(Qt::AlignCenter);
    mark->setStyleSheet(
        QStringLiteral("QLabel { background-color: white; color: %1; border: 1px solid black; "
                       "font-size: 8pt; font-weight: bold; }")
            .arg(colour(CardState::Alarm).name()));
    mark->setGeometry(CardLayout::markRect(cardNumber));
    mark->show();
}

void setLine(DataPanel& panel, int cardNumber, int line, const QString& text)
{
    QListWidget* lines = list(panel, cardNumber);
    if (!lines || line < 0 || line >= lines->count())
        return;
    QListWidgetItem* item = lines->item(line);
    if (item->text() != text)
        item->setText(text);
}

namespace {
void setTip(DataPanel& panel, int cardNumber, const QString& tip)
{
    for (QWidget* part :
         {static_cast<QWidget*>(header(panel, cardNumber)), static_cast<QWidget*>(list(panel, cardNumber))}) {
        if (part && part->toolTip() != tip)
            part->setToolTip(tip);
    }
}
} // namespace

void setTips(DataPanel& panel, const std::function<QString(int deviceId)>& tipOf)
{
    if (panel.shownKind.isEmpty())
        return;
    const bool overview = panel.shownKind == SelectionKind::kSystem;
    QHash<int, int> deviceOfCard;
    for (auto it = panel.overview.cardOfDevice.cbegin(); overview && it != panel.overview.cardOfDevice.cend();
         ++it)
        deviceOfCard.insert(it.value(), it.key());
    for (int n = 1; n <= qBound(0, panel.CardCount, DataPanel::kMaxCards); ++n)
        setTip(panel, n, tipOf(overview ? deviceOfCard.value(n) : panel.selection.SelectedDeviceId));
}

void setTipsOf(DataPanel& panel, int deviceId, const QString& tip)
{
    if (panel.shownKind.isEmpty())
        return;
    if (panel.shownKind == SelectionKind::kSystem) {
        setTip(panel, panel.overview.cardOfDevice.value(deviceId), tip);
        return;
    }
    if (deviceId != panel.selection.SelectedDeviceId)
        return;
    for (int n = 1; n <= qBound(0, panel.CardCount, DataPanel::kMaxCards); ++n)
        setTip(panel, n, tip);
}

} // namespace Cards

void FreeCards(DataPanel& panel)
{
    const int count = qBound(0, panel.CardCount, DataPanel::kMaxCards);
    for (int i = 0; i < count; ++i) {
        // Emptied so that a second call before the next create frees nothing twice.
        delete panel.CardHeaders[i];
        panel.CardHeaders[i] = nullptr;
        delete panel.CardLists[i];
        panel.CardLists[i] = nullptr;
        delete panel.CardMarks[i];
        panel.CardMarks[i] = nullptr;
    }
}
