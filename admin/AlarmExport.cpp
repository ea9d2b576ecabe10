#include "admin/AlarmExport.h"

#include "store/AlarmLogTable.h"
#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {
// A field is quoted when it holds a separator, a quote or a line break;
// inner quotes are doubled. A field a spreadsheet would run as a formula
// gets a leading apostrophe, so that it is shown as text.
QString csvField(QString value)
{
    static const QString formulaStart = QStringLiteral("=+-@\t\r");
    if (!value.isEmpty() && formulaStart.contains(value.front()))
        value.prepend(QLatin1Char('\''));
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return special.contains(c); }))
        return value;
    return QLatin1Char('"') + value.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The path as the file system will resolve it, so that a link or a relative
// name cannot hide the database behind another spelling.
QString resolved(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

// Replacing the database or one of its companion files would destroy it under
// the open connection.
bool isDatabaseFile(const QString& path, const Connection& connection)
{
    const QString target = resolved(path);
    const QString database = resolved(connection.fileName());
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (target == database + QLatin1String(suffix))
            return true;
    }
    return false;
}

AlarmExport::Outcome failure(const QString& logName, const QString& path, const QString& reason)
{
    return {false, QStringLiteral("导出%1失败，文件 \"%2\" 未写入：%3").arg(logName, path, reason)};
}

QByteArray csvText(Connection& connection, const std::function<void(Query&)>& open, int& records)
{
    Query query(connection);
    open(query);
    const QStringList columns = query.columnNames();
    QString text = columns.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (query.first(); !query.eof(); query.next(), ++records) {
        QStringList fields;
        for (const QString& column : columns)
            fields << csvField(query.fieldText(column));
        text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
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
    const auto failed = [&](const QString& reason) { return failure(logName, path, reason); };
    if (isDatabaseFile(path, connection))
        return failed(QStringLiteral("不能覆盖数据库文件"));
    QByteArray content;
    int records = 0;
    try {
        content = csvText(connection, open, records);
    } catch (const AppError& e) {
        return failed(QStringLiteral("读取%1出错 (%2)").arg(logName, e.text()));
    }
    // Written under a temporary name and renamed when complete, so a failed
    // export never leaves a partial file. The explicit flush matters: commit()
    // does not notice a write that fails while its buffer is flushed (a full
    // disk, a size limit) and would put a cut-off file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(QStringLiteral("无法创建文件 (%1)").arg(file.errorString()));
    // A write cut short by a full disk or a size limit reports no error; only
    // the next one fails and names the cause.
    qint64 done = 0;
    qint64 step = 0;
    while (done < content.size() &&
           (step = file.write(content.constData() + done, content.size() - done)) > 0)
        done += step;
    if (done != content.size() || !file.flush() || !file.commit()) {
        const bool diskFull = file.error() == QFileDevice::ResourceError;
        return failed(QStringLiteral("写入文件出错 (%1)")
                          .arg(diskFull ? QStringLiteral("磁盘已满") : file.errorString()));
    }
    return {
        true,
        QStringLiteral("导出%1成功，共 %2 条记录，已写入文件 \"%3\"").arg(logName).arg(records).arg(path)};
}
