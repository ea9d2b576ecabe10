#include "display/Cards.h"

#include "app/TForm1.h"
#include "app/TFrame1.h"
#include "display/CardLayout.h"

#include <QLineEdit>
#include <QListWidget>

namespace Cards {

namespace {
QFont cardFont(const TForm1& form, bool bold)
{
    QFont font = form.font();
    font.setPointSize(10);
    font.setBold(bold);
    return font;
}

QLineEdit* header(TForm1& form, int cardNumber)
{
    if (cardNumber < 1 || cardNumber > TForm1::kMaxCards)
        return nullptr;
    return form.CardHeaders[cardNumber - 1];
}

QListWidget* list(TForm1& form, int cardNumber)
{
    if (cardNumber < 1 || cardNumber > TForm1::kMaxCards)
        return nullptr;
    return form.CardLists[cardNumber - 1];
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

void create(TForm1& form, int cardNumber)
{
    QWidget* host = form.Frame11->host();

    auto* edit = new QLineEdit(host);
    edit->setObjectName(QStringLiteral("CardHeader%1").arg(cardNumber));
    edit->setGeometry(CardLayout::headerRect(cardNumber));
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFont(cardFont(form, true));
    edit->setAutoFillBackground(true);
    form.CardHeaders[cardNumber - 1] = edit;
    setHeaderColour(form, cardNumber, CardState::Normal);

    auto* lines = new QListWidget(host);
    lines->setObjectName(QStringLiteral("CardList%1").arg(cardNumber));
    lines->setGeometry(CardLayout::listRect(cardNumber));
    // Flat: a plain line round the list, no sunken 3-D edge.
    lines->setFrameShape(QFrame::Box);
    lines->setFrameShadow(QFrame::Plain);
    lines->setLineWidth(1);
    lines->setFont(cardFont(form, false));
    // Long lines are cut at the edge, as a plain list box does, rather than
    // bringing up a scroll bar that would hide the last line.
    lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lines->setTextElideMode(Qt::ElideNone);
    form.CardLists[cardNumber - 1] = lines;

    edit->show();
    lines->show();
}

void setHeaderColour(TForm1& form, int cardNumber, CardState state)
{
    QLineEdit* edit = header(form, cardNumber);
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

void setHeaderText(TForm1& form, int cardNumber, const QString& text)
{
    QLineEdit* edit = header(form, cardNumber);
    if (edit && edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

void setHeader(TForm1& form, int cardNumber, CardState state, const QString& text)
{
    setHeaderColour(form, cardNumber, state);
    setHeaderText(form, cardNumber, text);
}

void setLine(TForm1& form, int cardNumber, int line, const QString& text)
{
    QListWidget* lines = list(form, cardNumber);
    if (!lines || line < 0 || line >= lines->count())
        return;
    QListWidgetItem* item = lines->item(line);
    if (item->text() != text)
        item->setText(text);
}

} // namespace Cards

void FreeCards(TForm1& form)
{
    const int count = qBound(0, form.CardCount, TForm1::kMaxCards);
    for (int i = 0; i < count; ++i) {
        // Emptied so that a second call before the next create frees nothing twice.
        delete form.CardHeaders[i];
        form.CardHeaders[i] = nullptr;
        delete form.CardLists[i];
        form.CardLists[i] = nullptr;
    }
}
