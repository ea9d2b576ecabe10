#pragma once

#include <QString>

class Connection;

namespace Startup {

// The database file the program works on, in the working directory.
inline const QString kDatabaseFile = QStringLiteral("table.db");

// Opens the database or tells the operator why it cannot and how to create it.
bool openDatabase(Connection& connection, const QString& fileName);

} // namespace Startup
