#pragma once

#include "display/NodeCard.h"

#include <QHash>
#include <QPair>
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

// The overview's rows as its last full refresh read them, so that after a
// poll step the one device card the step changed can be made again alone.
struct OverviewMemo
{
    QVector<OverviewRow> rows;              // in the overview query's row order
    QHash<int, QPair<int, int>> deviceRows; // device id: first row, row count
    QHash<int, int> cardOfDevice;           // device id: card number, 0 for none
    qint64 refreshedAt = 0;
    qint64 lifeChangesAt = 0;     // the first moment a remaining life shown may change
    QHash<int, int> recentSurges; // as the last full refresh read them
    bool valid = false;

    void take(QVector<OverviewRow> rowsRead, qint64 now, QHash<int, int> surges = {});
    // The content of the device's card with row (a row of rows) replaced;
    // nullopt when only a full refresh gives it.
    std::optional<DeviceCardContent> replaceRow(int row, const OverviewRow& content, qint64 now);
};

// The system overview without its controls: one card per device in ascending
// address order, its header coloured by the device's last abnormal node in
// name order, one line per node, then the remaining life and the read time.
class OverviewContent final
{
public:
    // Reads the rows of a query opened by NodeTable::openAll, from the first to the last.
    static QVector<OverviewRow> readRows(Query& view);
    // Reads the current row of a query opened by NodeTable::openAll.
    static OverviewRow readRow(const Query& view);

    // The lines a new card starts with, one list per card in card order: a
    // line per node and two placeholders that the first refresh replaces.
    // At most maxCards cards.
    static QVector<QStringList> newCards(const QVector<OverviewRow>& rows, int maxCards);

    // The content of cards 1 to cardCount (index n-1 for card n) that a
    // refresh at now (a RemainingLife::moment) gives. A device with surges in
    // the last 30 days (by address) shows them beside its remaining life, so
    // that one ageing fast stands out.
    static QVector<DeviceCardContent> refresh(const QVector<OverviewRow>& rows, int cardCount, qint64 now,
                                              const QHash<int, int>& recentSurges = {});
};
