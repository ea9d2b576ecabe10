#pragma once

#include <QString>
#include <QStringList>

// Where the program finds its database file, and what a first start needs to
// make one. Nothing here creates a file.
struct DatabaseSearch final
{
    // The file to open when found, else the one to offer to create.
    QString path;
    bool found = false;
    // Every place looked at, in order, for the message when nothing was found.
    QStringList lookedAt;

    // A requested file is the only place looked at. Otherwise table.db in the
    // working folder, as set-ups before installed packages keep it, then
    // dataHome/spdmon/table.db, where an installed station keeps it.
    static DatabaseSearch run(const QString& requested, const QString& workingFolder, const QString& dataHome);
};

// Why the first start's entries cannot make a station database: the
// administrator name and the password must not be blank and the password must
// be typed the same twice. Empty when they can.
QString newStationEntryProblem(const QString& administrator, const QString& password,
                               const QString& passwordAgain);
