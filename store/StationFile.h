#pragma once

#include <QString>

class Connection;

// A new station database: the tables Schema gives a new file, the settings row
// (COM port comNum, 9600 8N1, the default periods) and one administrator.
// spdmon-initdb and the program's first start both make their files here, so
// the two never differ. Name and password are trimmed as the login trims them
// (Text::trimmed). A file already there is refused and left untouched. Throws
// AppError, leaving no file behind; on success the connection is left open on
// the new file.
namespace StationFile {

void create(Connection& connection, const QString& fileName, const QString& administrator,
            const QString& password, int comNum = 1);

} // namespace StationFile
