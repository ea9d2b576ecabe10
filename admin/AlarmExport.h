#pragma once

#include <QDateTime>
#include <QString>

class Connection;

// Writes the alarm log to a CSV file that spreadsheet programs open as is:
// UTF-8 with a byte-order mark, CRLF line ends, fields quoted where needed.
// Only reads the table, through its own statement on the shared connection.
class AlarmExport final
{
public:
    // "告警记录-yyyyMMdd-hhmmss.csv" in the home folder, stamped with the given time.
    static QString defaultPath(const QDateTime& now);

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
};
