#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class Connection;

// CSV files that spreadsheet programs open as is: UTF-8 with a byte-order
// mark, CRLF line ends, fields quoted where needed.
namespace CsvFile {

// One line of fields, with its CRLF.
QString line(const QStringList& fields);

// Writes the lines to path, never over the database file of the connection.
// The file appears only when complete: on failure nothing is left at the
// path (an existing file stays as it was) and the reason is returned, for
// the operator.
std::optional<QString> write(const Connection& connection, const QString& path, const QString& lines);

} // namespace CsvFile
