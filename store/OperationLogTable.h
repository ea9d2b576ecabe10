#pragma once

#include <QString>

class QDateTime;
class Query;

// operation_log, who did what at the station, through the caller's query.
// The program only ever adds to it. Every failure throws AppError.
class OperationLogTable final
{
public:
    explicit OperationLogTable(Query& query) : m_query(query) {}

    // Every row, oldest first: time, user, action, details.
    void openLog();
    void add(const QDateTime& time, const QString& user, const QString& action, const QString& details);

private:
    Query& m_query;
};
