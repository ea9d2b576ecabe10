#include "admin/AlarmExport.h"

#include "kit/CsvFile.h"
#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QDir>

namespace {
const QString kTimeColumn = QStringLiteral("告警时间");
const QString kTextColumn = QStringLiteral("告警纪录");

AlarmExport::Outcome failure(const QString& path, const QString& reason)
{
    return {false, QStringLiteral("导出告警记录失败，文件 \"%1\" 未写入：%2").arg(path, reason)};
}

QString csvText(Connection& connection, int& records)
{
    Query query(connection);
    AlarmLogTable(query).openLog();
    QString text = CsvFile::line({kTimeColumn, kTextColumn});
    for (query.first(); !query.eof(); query.next(), ++records)
        text += CsvFile::line({query.fieldText(kTimeColumn), query.fieldText(kTextColumn)});
    return text;
}
} // namespace

QString AlarmExport::defaultPath(const QDateTime& now)
{
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return QDir::home().filePath(QStringLiteral("告警记录-%1.csv").arg(stamp));
}

AlarmExport::Outcome AlarmExport::write(Connection& connection, const QString& path)
{
    QString text;
    int records = 0;
    try {
        text = csvText(connection, records);
    } catch (const AppError& e) {
        return failure(path, QStringLiteral("读取告警记录出错 (%1)").arg(e.text()));
    }
    if (const std::optional<QString> reason = CsvFile::write(connection, path, text))
        return failure(path, *reason);
    return {true, QStringLiteral("导出告警记录成功，共 %1 条记录，已写入文件 \"%2\"").arg(records).arg(path)};
}
