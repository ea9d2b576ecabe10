#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The four tables of the database file. The program itself never creates
// them; only the set-up tool and the tests do.
namespace Schema {

QStringList tableNames();

// Creates the four tables in an empty database; integer columns refuse
// values that are not integers. Throws AppError on failure.
void createTables(QSqlDatabase db);

// Names of the required tables missing from the database.
QStringList missingTables(QSqlDatabase db);
// "table.column" for each column the program uses that its table lacks.
QStringList missingColumns(QSqlDatabase db);

} // namespace Schema
