#include "store/OperationLogTable.h"

#include "store/AppError.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QSqlError>
#include <QSqlQuery>

void OperationLogTable::openLog()
{
    m_query.setSql(QStringLiteral("SELECT 操作时间,用户名,操作,详情 FROM operation_log ORDER BY rowid"));
    m_query.open();
}

void OperationLogTable::add(const QDateTime& time, const QString& user, const QString& action,
                            const QString& details)
{
    // A missing user or detail is stored as empty text, never as NULL, which
    // would blank out any text joined from the row.
    QSqlQuery& insert = m_query.connection().prepared(QStringLiteral(
        "INSERT INTO operation_log (操作时间,用户名,操作,详情) VALUES (?,coalesce(?,''),?,coalesce(?,''))"));
    insert.bindValue(0, Text::dateTimeText(time));
    insert.bindValue(1, user);
    insert.bindValue(2, action);
    insert.bindValue(3, details);
    if (!insert.exec())
        throw AppError(insert.lastError().text());
}
