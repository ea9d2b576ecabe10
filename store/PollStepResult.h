#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <optional>

// The row a poll step wrote, as the window needs it to refresh only that
// row: its position in the poll scope, its id in node_record and the
// columns the step writes, with the values it left in them. fileChanged says
// that another connection (another program, a dialog) committed to the file
// since the last step that told of its row: what the view shows may be old.
struct PolledRow final
{
    int row = -1;
    qint64 rowId = 0;
    QVariantMap written;
    bool fileChanged = true;
};

// One alarm record a step added, committed with the row that entered alarm.
struct AlarmLine final
{
    qint64 rowId = 0;
    QString time;
    QString text;
};

// What one poll step did, handed from the station's thread to the window.
// refresh is false when the step did nothing or holds its node for another
// reading; error is the text of a failed step, whose writes were undone.
struct PollStepResult final
{
    bool refresh = false;
    PolledRow polled;
    bool passEnded = false;
    std::optional<AlarmLine> alarm;
    QString error;
};

Q_DECLARE_METATYPE(PollStepResult)
