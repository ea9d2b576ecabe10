#pragma once

#include "display/NodeCard.h"

#include <QStringList>
#include <QVector>
#include <optional>

class Query;

// One row of the overview statement, as the overview reads it.
struct OverviewRow
{
    int deviceId = 0;
    QString deviceName;
    QString nodeName;
    QString conData;
    QString communicationStatus;
    QString alarmStatus;
    qint64 installed = 0; // RemainingLife::moment of install_date
    QString readTime;
};

// What one refresh writes into a device card. The writes of all rows are
// folded together, the later row winning as it would when written one after
// the other; a line no row writes keeps its text.
struct DeviceCardContent
{
    CardState state = CardState::Normal;
    std::optional<QString> header;
    QVector<std::optional<QString>> lines;

    void writeLine(int index, const QString& text);
};

// The system overview without its controls: one card per device in ascending
// address order, its header coloured by the device's last abnormal node in
// name order, one line per node, then the remaining life and the read time.
class OverviewContent final
{
public:
    static const QString kStatement;

    // Reads the rows of a query opened on kStatement, from the first to the last.
    static QVector<OverviewRow> readRows(Query& view);

    // The lines a new card starts with, one list per card in card order: a
    // line per node and two placeholders that the first refresh replaces.
    // At most maxCards cards.
    static QVector<QStringList> newCards(const QVector<OverviewRow>& rows, int maxCards);

    // The content of cards 1 to cardCount (index n-1 for card n) that a
    // refresh at now (a RemainingLife::moment) gives.
    static QVector<DeviceCardContent> refresh(const QVector<OverviewRow>& rows, int cardCount, qint64 now);
};
