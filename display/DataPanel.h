#pragma once

#include "display/OverviewContent.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;
class Query;
struct Selection;

// What the data views work on: the selection they show, their query, the
// widget the cards are placed on and the cards themselves. Card n sits in
// slot n-1 of CardHeaders, CardLists and CardMarks (its 未确认 mark, null
// when unmarked).
struct DataPanel final
{
    static constexpr int kMaxCards = 247;

    DataPanel(Selection& shown, Query& view, QWidget* cardHost, std::function<void()> fit)
        : selection(shown), viewQuery(view), host(cardHost), fitToCards(std::move(fit))
    {}
    Q_DISABLE_COPY_MOVE(DataPanel)

    Selection& selection;
    Query& viewQuery;
    QWidget* host;
    // Lets the container's scroll area follow the cards after a create.
    std::function<void()> fitToCards;

    int CardCount = 0;
    std::array<QLineEdit*, kMaxCards> CardHeaders{};
    std::array<QListWidget*, kMaxCards> CardLists{};
    std::array<QLabel*, kMaxCards> CardMarks{};

    // What the last full refresh showed: the kind of view and for the
    // overview its rows.
    QString shownKind;
    OverviewMemo overview;
};
