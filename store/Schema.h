#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The four tables of the database file, which the program itself never
// creates (only the set-up tool and the tests do), and the tables added beside
// them, which the program adds to an older file when it opens it.
namespace Schema {

QStringList tableNames();

// Creates the four tables in an empty database; integer columns refuse
// values that are not integers. Throws AppError on failure.
void createTables(QSqlDatabase db);

// The tables added beside the four, by name.
QStringList addedTableNames();
// Creates the added tables (with their indexes) that the file lacks, in one
// transaction; the four tables are left exactly as they are. Throws AppError.
void addMissingTables(QSqlDatabase db);

// Names of the required tables missing from the database.
QStringList missingTables(QSqlDatabase db);
// "table.column" for each column the program uses that its table lacks.
QStringList missingColumns(QSqlDatabase db);

} // namespace Schema
