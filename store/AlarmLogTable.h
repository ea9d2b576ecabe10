#pragma once

#include <QString>
#include <QtGlobal>

class QDateTime;
class Query;

// alarm_record, the alarm log, through the caller's query. Every failure
// throws AppError.
class AlarmLogTable final
{
public:
    explicit AlarmLogTable(Query& query) : m_query(query) {}

    // Every record, oldest first. The main window's reload has always written
    // the listing with a trailing blank; either text counts as the log.
    void openLog();
    void reloadLog();
    bool holdsLog() const;
    // How many records the table holds now, whatever the query holds.
    int storedCount();
    void add(const QDateTime& time, const QString& text);
    // The query shows a record another connection just added (its row id,
    // time as stored and text) where a reopen would put it, after the records
    // of an earlier or the same time; it is reopened instead when it held
    // anything but the log without that record.
    void takeAdded(qint64 rowId, const QString& time, const QString& text);
    // Times are stored to the second in their display form, so the text a
    // grid shows finds its record, and any other of the same second.
    void removeAt(const QString& time);

private:
    Query& m_query;
};
