#pragma once

#include "store/PollStepResult.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>

// The poll steps taken since the window last showed them, in as little as
// shows them right: each row written with the columns it was last given,
// every alarm line, the latest error.
struct PollSteps final
{
    int taken = 0; // steps taken
    int asked = 0; // of them, steps the station asked for by hand
    QVector<PolledRow> rows;
    QVector<AlarmLine> alarms;
    // Only a full refresh shows the view right: a pass ended, another
    // connection wrote the file, a step had no row, or too many rows came.
    bool fullRefresh = false;
    bool reloadAlarmLog = false; // too many alarm lines came to add one by one
    bool pauseBegun = false;     // the last step ended a pass
    QString error;               // of the last failed step
};

// Hands the steps from the station's thread to the window's. The window may
// be busy for long while polling goes on; what waits for it stays bounded:
// past limit rows or alarm lines it is told to read the view or the log anew.
class StepQueue final
{
public:
    explicit StepQueue(int limit = 256) : m_limit(limit) {}

    // True when nothing was waiting: the window must then be told once.
    bool put(const PollStepResult& step, bool asked);
    PollSteps take();

private:
    const int m_limit;
    QMutex m_mutex;
    PollSteps m_waiting;
    QHash<qint64, int> m_rowOfId; // row id -> index in m_waiting.rows
};
