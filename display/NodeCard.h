#pragma once

#include <QString>
#include <array>

class Query;

// The state a card's header colour shows.
enum class CardState { Normal, Alarm, CommLoss };

// What one node card shows: header colour and text and its five list lines.
struct NodeCard
{
    static constexpr int kLineCount = 5;

    CardState state = CardState::Normal;
    QString header;
    std::array<QString, kLineCount> lines;

    // Reads the current row of a node_record select. A node whose last read
    // failed shows "???" whatever its stored alarm state: that value was not
    // delivered. Throws AppError when the query stands on no row.
    static NodeCard fromCurrentRow(const Query& query);
};
