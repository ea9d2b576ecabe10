#include "app/DatabaseSearch.h"

#include "store/Text.h"

#include <QDir>
#include <QFileInfo>

DatabaseSearch DatabaseSearch::run(const QString& requested, const QString& workingFolder,
                                   const QString& dataHome)
{
    const QString fileName = QStringLiteral("table.db");
    const QStringList candidates =
        requested.isEmpty() ? QStringList{QDir(workingFolder).filePath(fileName),
                                          QDir(dataHome).filePath(QStringLiteral("spdmon/") + fileName)}
                            : QStringList{QDir(workingFolder).absoluteFilePath(requested)};
    DatabaseSearch search;
    for (const QString& candidate : candidates) {
        search.lookedAt << QDir::cleanPath(candidate);
        // A folder or a file of the wrong kind is still "there": the open
        // refuses it with its reason instead of a new file hiding it.
        if (QFileInfo::exists(candidate)) {
            search.path = search.lookedAt.constLast();
            search.found = true;
            return search;
        }
    }
    search.path = search.lookedAt.constLast();
    return search;
}

QString newStationEntryProblem(const QString& administrator, const QString& password,
                               const QString& passwordAgain)
{
    if (Text::trimmed(administrator).isEmpty())
        return QStringLiteral("请输入管理员名称 (enter the administrator's name)");
    if (Text::trimmed(password).isEmpty())
        return QStringLiteral("请输入密码 (enter a password)");
    if (password != passwordAgain)
        return QStringLiteral("两次输入的密码不一致 (the two passwords differ)");
    return {};
}
