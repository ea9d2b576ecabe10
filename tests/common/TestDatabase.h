#pragma once

#include "store/Connection.h"
#include "store/Query.h"

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// A fresh database file with the four tables in a temporary folder.
class TestDatabase final
{
public:
    explicit TestDatabase(const QString& connectionName = QStringLiteral("dbConnection"))
        : m_connection(connectionName)
    {
        m_connection.create(path());
    }

    QString path() const { return m_dir.filePath(QStringLiteral("table.db")); }
    QString dir() const { return m_dir.path(); }
    Connection& connection() { return m_connection; }

    // Runs a statement directly, bypassing the query object under test.
    void exec(const QString& statement)
    {
        QSqlQuery query(m_connection.database());
        if (!query.exec(statement))
            QFAIL(qPrintable(statement));
    }

    // The first column of each row a statement gives, as text.
    QStringList column(const QString& sql)
    {
        QStringList result;
        for (QSqlQuery q(sql, m_connection.database()); q.next();)
            result << q.value(0).toString();
        return result;
    }

    int count(const QString& table)
    {
        return column(QStringLiteral("SELECT COUNT(*) FROM ") + table).value(0, QStringLiteral("-1")).toInt();
    }

    void addUser(const QString& name, const QString& password, const QString& permission)
    {
        Query q(m_connection);
        q.setSql(QStringLiteral("Insert into dd_user ([用户名],[密码],[权限]) values(:用户名,:密码,:权限)"));
        q.setText(QStringLiteral("用户名"), name);
        q.setText(QStringLiteral("密码"), password);
        q.setText(QStringLiteral("权限"), permission);
        q.execSql();
    }

    void addSettings(const QString& name, int monitorPeriod, int nodeReadPeriod)
    {
        Query q(m_connection);
        q.setSql(QStringLiteral("Insert into soft_record ([soft_name],[com_num],[com_baud],[com_data_bit],"
                                "[com_stop_bit],[com_parity],[moniter_time],[node_read_time]) values("
                                ":soft_name,3,9600,8,1,:com_parity,:moniter_time,:node_read_time)"));
        q.setText(QStringLiteral("soft_name"), name);
        q.setText(QStringLiteral("com_parity"), QStringLiteral(" n "));
        q.setInt(QStringLiteral("moniter_time"), monitorPeriod);
        q.setInt(QStringLiteral("node_read_time"), nodeReadPeriod);
        q.execSql();
    }

private:
    QTemporaryDir m_dir;
    Connection m_connection;
};

// One expression over a table's rows in stored order, joined by blanks.
inline QString tableText(TestDatabase& db, const QString& expression, const QString& table)
{
    return db
        .column(QStringLiteral("SELECT group_concat(%1, ' ') FROM (SELECT * FROM %2 ORDER BY rowid)")
                    .arg(expression, table))
        .value(0, QStringLiteral("?"));
}
