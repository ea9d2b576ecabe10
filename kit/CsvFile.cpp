#include "kit/CsvFile.h"

#include "store/Connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace CsvFile {

namespace {
// A field is quoted when it holds a separator, a quote or a line break;
// inner quotes are doubled. A field a spreadsheet would run as a formula
// gets a leading apostrophe, so that it is shown as text.
QString field(QString value)
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
} // namespace

QString line(const QStringList& fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& value : fields)
        quoted << field(value);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

std::optional<QString> write(const Connection& connection, const QString& path, const QString& lines)
{
    if (isDatabaseFile(path, connection))
        return QStringLiteral("不能覆盖数据库文件");
    const QByteArray content = QByteArrayLiteral("\xEF\xBB\xBF") + lines.toUtf8();
    // Written under a temporary name and renamed when complete, so a failed
    // export never leaves a partial file. The explicit flush matters: commit()
    // does not notice a write that fails while its buffer is flushed (a full
    // disk, a size limit) and would put a cut-off file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法创建文件 (%1)").arg(file.errorString());
    // A write cut short by a full disk or a size limit reports no error; only
    // the next one fails and names the cause.
    qint64 done = 0;
    qint64 step = 0;
    while (done < content.size() &&
           (step = file.write(content.constData() + done, content.size() - done)) > 0)
        done += step;
    if (done != content.size() || !file.flush() || !file.commit()) {
        const bool diskFull = file.error() == QFileDevice::ResourceError;
        return QStringLiteral("写入文件出错 (%1)")
            .arg(diskFull ? QStringLiteral("磁盘已满") : file.errorString());
    }
    return std::nullopt;
}

} // namespace CsvFile
