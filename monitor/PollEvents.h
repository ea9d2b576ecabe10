#pragma once

#include "store/SurgeLogTable.h"

#include <QString>
#include <QVariantMap>

// What the poll cycle tells an outside listener (a publisher, a logger) about
// its work. Both calls come on the thread running the poll step, after the
// database write they describe; a listener must return at once and must not
// throw: the step does not wait for it and ignores its failures.
class PollEvents
{
public:
    virtual ~PollEvents() = default;
    // After every step that wrote a node row: the row's columns by name, with
    // the values the step left in them.
    virtual void nodeWritten(const QVariantMap& row) = 0;
    // For each record added to the alarm log: its time as stored and its text.
    virtual void alarmRecorded(const QString& time, const QString& text) = 0;
    // For each event added to the surge history.
    virtual void surgeRecorded(const SurgeEvent& event) = 0;
};
