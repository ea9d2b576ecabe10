#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class QSqlQuery;

// The one connection to the database file, shared by every window.
// Another program may hold the same file: a write waits for its lock well under
// a second, then fails with "database is locked" and is tried again later.
class Connection final
{
public:
    explicit Connection(QString name = QStringLiteral("dbConnection"));
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file read-write without ever creating it and
    // checks that it holds the four tables, then adds the tables beside them
    // that it lacks. Throws AppError with a message that names the file and how
    // to create one.
    void open(const QString& fileName);
    // Creates a new file with the four tables (set-up tool and tests only).
    void create(const QString& fileName);
    void close();

    // Groups the writes up to commit() so that they take effect together or not
    // at all. Both throw AppError; after a failed commit the transaction is
    // still open and must be rolled back.
    void beginTransaction();
    void commit();
    // Undoes the writes since beginTransaction(). Never throws: it runs while
    // another error is on its way to the operator.
    void rollback();

    bool isOpen() const;
    QString fileName() const { return m_fileName; }
    QSqlDatabase database() const;

    // The statement for text, prepared on first use and kept while the file is
    // open: the poll step runs the same few statements at every tick. Throws
    // AppError when it cannot be prepared. A select must be finished after use.
    QSqlQuery& prepared(const QString& text);
    // Changes whenever another connection commits to the file (PRAGMA
    // data_version); this connection's own commits leave it as it was.
    qint64 dataVersion();

    static QString missingFileHint(const QString& fileName);

private:
    void openUri(const QString& fileName, const QString& mode);
    void configure();

    QString m_name;
    QString m_fileName;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
};
