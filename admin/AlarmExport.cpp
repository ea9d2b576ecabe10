#include "admin/AlarmExport.h"

#include "kit/CsvFile.h"
#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QDir>

namespace {
AlarmExport::Outcome failure(const QString& logName, const QString& path, const QString& reason)
{
    return {false, QStringLiteral("导出%1失败，文件 \"%2\" 未写入：%3").arg(logName, path, reason)};
}

QString csvText(Connection& connection, const std::function<void(Query&)>& open, int& records)
{
    Query query(connection);
    open(query);
    const QStringList columns = query.columnNames();
    QString text = CsvFile::line(columns);
    for (query.first(); !query.eof(); query.next(), ++records) {
        QStringList fields;
        for (const QString& column : columns)
            fields << query.fieldText(column);
        text += CsvFile::line(fields);
    }
    return text;
}
} // namespace

QString AlarmExport::defaultPath(const QDateTime& now, const QString& logName)
{
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return QDir::home().filePath(QStringLiteral("%1-%2.csv").arg(logName, stamp));
}

AlarmExport::Outcome AlarmExport::write(Connection& connection, const QString& path)
{
    return write(connection, path, kAlarmLog, [](Query& query) { AlarmLogTable(query).openLog(); });
}

AlarmExport::Outcome AlarmExport::write(Connection& connection, const QString& path, const QString& logName,
                                        const std::function<void(Query&)>& open)
{
    QString text;
    int records = 0;
    try {
        text = csvText(connection, open, records);
    } catch (const AppError& e) {
        return failure(logName, path, QStringLiteral("读取%1出错 (%2)").arg(logName, e.text()));
    }
    if (const std::optional<QString> reason = CsvFile::write(connection, path, text))
        return failure(logName, path, *reason);
    return {true,
            QStringLiteral("导出%1成功，共 %2 条记录，已写入文件 \"%3\"").arg(logName).arg(records).arg(path)};
}
