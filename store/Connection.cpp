#include "store/Connection.h"

#include "store/AppError.h"
#include "store/Schema.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {
// How long a statement waits for another program's write lock before failing
// with "database is locked": short enough that the window never freezes.
const QString kBusyTimeoutMs = QStringLiteral("700");
} // namespace

Connection::Connection(QString name) : m_name(std::move(name)) {}

Connection::~Connection()
{
    close();
}

QString Connection::missingFileHint(const QString& fileName)
{
    return QStringLiteral("请用以下命令创建数据库文件:\nspdmon-initdb %1 --admin 用户名 --password 密码\n"
                          "(To create the database file: spdmon-initdb %1 --admin NAME --password PASSWORD)")
        .arg(fileName);
}

void Connection::open(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isFile()) {
        throw AppError(
            QStringLiteral("数据库文件 \"%1\" 不存在 (database file \"%1\" not found, looked in %2).\n%3")
                .arg(fileName, info.absolutePath(), missingFileHint(fileName)));
    }
    openUri(fileName, QStringLiteral("rw"));
    // Tables and columns are checked before anything is set, so that a file
    // refused here is left exactly as it was (journal mode included).
    QString lacking;
    try {
        const QStringList tables = Schema::missingTables(database());
        const QStringList columns = tables.isEmpty() ? Schema::missingColumns(database()) : QStringList();
        const QString separator = QStringLiteral(", ");
        if (!tables.isEmpty())
            lacking = QStringLiteral("缺少数据表 (database file \"%1\" lacks the tables): %2")
                          .arg(fileName, tables.join(separator));
        else if (!columns.isEmpty())
            lacking = QStringLiteral("缺少数据列 (database file \"%1\" lacks the columns): %2")
                          .arg(fileName, columns.join(separator));
        else {
            configure();
            // The only change an existing file ever gets from the program.
            Schema::addMissingTables(database());
        }
    } catch (const AppError& e) {
        close();
        throw AppError(QStringLiteral("无法打开数据库文件 \"%1\" (cannot open database file \"%1\"): %2\n%3")
                           .arg(fileName, e.text(), missingFileHint(fileName)));
    }
    if (!lacking.isEmpty()) {
        close();
        throw AppError(
            QStringLiteral("数据库文件 \"%1\" %2\n%3").arg(fileName, lacking, missingFileHint(fileName)));
    }
}

void Connection::create(const QString& fileName)
{
    if (QFileInfo::exists(fileName))
        throw AppError(QStringLiteral("\"%1\" already exists").arg(fileName));
    openUri(fileName, QStringLiteral("rwc"));
    configure();
    Schema::createTables(database());
}

void Connection::openUri(const QString& fileName, const QString& mode)
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // A URI lets us say "read-write, never create": a missing file must not be
    // replaced by an empty one.
    const QString path = QString::fromLatin1(QUrl::toPercentEncoding(fileName, "/"));
    db.setDatabaseName(QStringLiteral("file:%1?mode=%2").arg(path, mode));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=") + kBusyTimeoutMs);
    if (!db.open()) {
        const QString error = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw AppError(QStringLiteral("无法打开数据库文件 \"%1\" (cannot open database file \"%1\"): %2\n%3")
                           .arg(fileName, error, missingFileHint(fileName)));
    }
    m_fileName = fileName;
}

void Connection::configure()
{
    QSqlQuery query(database());
    // WAL: readers never block the writer, and a commit costs one sync.
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"}) {
        if (!query.exec(QString::fromLatin1(pragma)))
            throw AppError(query.lastError().text());
    }
}

void Connection::close()
{
    // Kept statements hold the connection: they go before it.
    m_statements.clear();
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::beginTransaction()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        throw AppError(db.lastError().text());
}

void Connection::commit()
{
    QSqlDatabase db = database();
    if (!db.commit())
        throw AppError(db.lastError().text());
}

void Connection::rollback()
{
    QSqlDatabase db = database();
    if (!db.rollback())
        qWarning("rollback failed: %s", qPrintable(db.lastError().text()));
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

QSqlQuery& Connection::prepared(const QString& text)
{
    const auto kept = m_statements.constFind(text);
    if (kept != m_statements.constEnd())
        return **kept;
    auto query = std::make_shared<QSqlQuery>(database());
    query->setForwardOnly(true);
    if (!query->prepare(text)) {
        const QSqlError error = query->lastError();
        throw AppError(error.databaseText().isEmpty() ? error.text() : error.databaseText());
    }
    return **m_statements.insert(text, std::move(query));
}

qint64 Connection::dataVersion()
{
    QSqlQuery& query = prepared(QStringLiteral("PRAGMA data_version"));
    if (!query.exec() || !query.next())
        throw AppError(query.lastError().text());
    const qint64 version = query.value(0).toLongLong();
    query.finish();
    return version;
}
