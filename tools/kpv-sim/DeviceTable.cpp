#include "tools/kpv-sim/DeviceTable.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

DeviceTable::DeviceTable(const QString& file) : m_file(file), m_connection(QStringLiteral("kpv-sim"))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(file);
    // Read-only, so that a mistyped name does not create an empty database.
    // A short busy wait: a reply must not wait long for the program's writes.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=100"));
}

DeviceTable::~DeviceTable()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool DeviceTable::read(QList<int>* addresses, QString* error) const
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen() && !db.open()) {
        *error = db.lastError().text();
        return false;
    }
    // The query ends within this call: an unfinished one would keep its
    // snapshot of the table, and later reads would miss new devices.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select distinct device_id from node_record order by device_id"))) {
        *error = query.lastError().text();
        return false;
    }
    addresses->clear();
    while (query.next())
        addresses->append(query.value(0).toInt());
    return true;
}
