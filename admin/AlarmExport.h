#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class Connection;
class Query;

// Writes the alarm log, or another log, to a CSV file that spreadsheet programs open as is:
// UTF-8 with a byte-order mark, CRLF line ends, fields quoted where needed.
// Only reads the table, through its own statement on the shared connection.
class AlarmExport final
{
public:
    // The name the messages and the suggested file give the alarm log.
    static inline const QString kAlarmLog = QStringLiteral("告警记录");

    // "告警记录-yyyyMMdd-hhmmss.csv" (or another log's name) in the home
    // folder, stamped with the given time.
    static QString defaultPath(const QDateTime& now, const QString& logName = kAlarmLog);

    struct Outcome
    {
        bool written = false;
        // For the operator, naming the path: the number of records written,
        // or the reason nothing was.
        QString message;
    };

    // Writes every record, oldest first, under a header line. The file appears
    // only when complete: on failure nothing is left at the path (an existing
    // file stays as it was).
    static Outcome write(Connection& connection, const QString& path);
    // The same for the rows open puts into a query, under its column names;
    // logName names the log in the messages.
    static Outcome write(Connection& connection, const QString& path, const QString& logName,
                         const std::function<void(Query&)>& open);
};
