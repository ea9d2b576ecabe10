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
    // delivered. With no current row every field reads empty, which shows as
    // a node never read.
    static NodeCard fromCurrentRow(const Query& query);
};
