#pragma once

#include "MainWindowFixture.h"
#include "NodeRows.h"

#include "app/CardFrame.h"
#include "display/DataPanel.h"

#include <QLineEdit>
#include <QListWidget>

// The main window fixture with the parts of the cards at hand.
struct DisplayFixture final : MainWindowFixture
{
    Connection& connection() { return db.connection(); }

    QLineEdit* header(int card) { return form->panel().CardHeaders.at(card - 1); }
    QListWidget* list(int card) { return form->panel().CardLists.at(card - 1); }
    QColor headerColour(int card) { return header(card)->palette().color(QPalette::Base); }

    QStringList lines(int card)
    {
        QStringList result;
        for (int i = 0; i < list(card)->count(); ++i)
            result << list(card)->item(i)->text();
        return result;
    }

    QList<QWidget*> cardControls()
    {
        return form->cardFrame->host()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    }
};

namespace Colours {
inline const QColor normal(192, 220, 192);
inline const QColor alarm(231, 0, 0);
inline const QColor commLoss(255, 255, 0);
} // namespace Colours

// Counts controls put on or taken off a widget while it watches.
struct ChildWatch final : QObject
{
    explicit ChildWatch(QWidget* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        changes += event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved;
        return false;
    }
    int changes = 0;
};
