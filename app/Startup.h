#pragma once

#include <QString>

class Connection;
class QCoreApplication;

namespace Startup {

// The database file to open: the one requested (--database), else the one
// found in the usual places, else the one the operator has just created at
// the first start. Empty when the operator quit instead; then where it looked
// is said on stderr.
QString findOrCreateDatabase(const QString& requested);

// Opens the database or tells the operator why it cannot and how to create it.
bool openDatabase(Connection& connection, const QString& fileName);

// Qt's own texts (standard buttons, the file dialog's questions) in Chinese
// like the rest of the program, whatever the system language. Without the
// translation file they stay English, which is said on stderr.
void loadQtTranslations(QCoreApplication& application);

} // namespace Startup
