#include "store/StationFile.h"

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QFile>

namespace StationFile {

namespace {

void insertSettings(Connection& connection, int comNum)
{
    Query query(connection);
    query.setSql(
        QStringLiteral("Insert into soft_record ([soft_name],[com_num],[com_baud],[com_data_bit],"
                       "[com_stop_bit],[com_parity],[moniter_time],[node_read_time]) "
                       "values(:soft_name,:com_num,:com_baud,:com_data_bit,:com_stop_bit,:com_parity,"
                       ":moniter_time,:node_read_time)"));
    query.setText(QStringLiteral("soft_name"), QStringLiteral("防雷监控软件"));
    query.setInt(QStringLiteral("com_num"), comNum);
    query.setInt(QStringLiteral("com_baud"), 9600);
    query.setInt(QStringLiteral("com_data_bit"), 8);
    query.setInt(QStringLiteral("com_stop_bit"), 1);
    query.setText(QStringLiteral("com_parity"), QStringLiteral("n"));
    query.setInt(QStringLiteral("moniter_time"), 5);
    query.setInt(QStringLiteral("node_read_time"), 200);
    query.execSql();
}

void insertAccount(Connection& connection, const QString& name, const QString& password)
{
    Query query(connection);
    query.setSql(QStringLiteral("Insert into dd_user ([用户名],[密码],[权限]) values(:用户名,:密码,:权限)"));
    query.setText(QStringLiteral("用户名"), name);
    query.setText(QStringLiteral("密码"), password);
    query.setText(QStringLiteral("权限"), Permission::kAdministrator);
    query.execSql();
}

} // namespace

void create(Connection& connection, const QString& fileName, const QString& administrator,
            const QString& password, int comNum)
{
    // Before the clean-up below can run: it deletes the file, which must only
    // ever be one this call made.
    if (QFile::exists(fileName))
        throw AppError(QStringLiteral("\"%1\" already exists").arg(fileName));
    try {
        connection.create(fileName);
        insertSettings(connection, comNum);
        insertAccount(connection, Text::trimmed(administrator), Text::trimmed(password));
    } catch (const AppError&) {
        // A file without its account would be opened later and let nobody
        // in; better no file, so that the next try can make it.
        connection.close();
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(fileName + QLatin1String(suffix));
        throw;
    }
}

} // namespace StationFile
