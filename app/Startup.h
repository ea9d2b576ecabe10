#pragma once

#include <QString>

class Connection;
class QCoreApplication;

namespace Startup {

// The database file the program works on, in the working directory.
inline const QString kDatabaseFile = QStringLiteral("table.db");

// Opens the database or tells the operator why it cannot and how to create it.
bool openDatabase(Connection& connection, const QString& fileName);

// Qt's own texts (standard buttons, the file dialog's questions) in Chinese
// like the rest of the program, whatever the system language. Without the
// translation file they stay English, which is said on stderr.
void loadQtTranslations(QCoreApplication& application);

} // namespace Startup
