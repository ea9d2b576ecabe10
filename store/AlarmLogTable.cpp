#include "store/AlarmLogTable.h"

#include "store/AppError.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
const QString kLogSql = QStringLiteral("select 告警时间,告警纪录 from alarm_record order by 告警时间");
const QString kTime = QStringLiteral("告警时间");
} // namespace

void AlarmLogTable::openLog()
{
    m_query.setSql(kLogSql);
    m_query.open();
}

void AlarmLogTable::reloadLog()
{
    m_query.setSql(kLogSql + QLatin1Char(' '));
    m_query.open();
}

bool AlarmLogTable::holdsLog() const
{
    return m_query.isActive() && m_query.sql().trimmed() == kLogSql;
}

int AlarmLogTable::storedCount()
{
    QSqlQuery& count = m_query.connection().prepared(QStringLiteral("SELECT count(*) FROM alarm_record"));
    if (!count.exec() || !count.next())
        throw AppError(count.lastError().text());
    const int records = count.value(0).toInt();
    count.finish();
    return records;
}

void AlarmLogTable::add(const QDateTime& time, const QString& text)
{
    m_query.setSql(
        QStringLiteral("Insert into alarm_record ([告警时间],[告警纪录])\nvalues(:告警时间,:告警纪录)"));
    m_query.setDateTime(kTime, time);
    m_query.setText(QStringLiteral("告警纪录"), text);
    m_query.execSql();
}

void AlarmLogTable::takeAdded(qint64 rowId, const QString& time, const QString& text)
{
    if (!holdsLog() || storedCount() != m_query.recordCount() + 1) {
        openLog();
        return;
    }
    int position = m_query.recordCount();
    while (position > 0 && m_query.value(position - 1, 0).toString() > time)
        --position;
    m_query.insertHeldRow(position, rowId, {time, text});
}

void AlarmLogTable::removeAt(const QString& time)
{
    m_query.setSql(QStringLiteral("Delete from alarm_record where (告警时间=:告警时间) "));
    m_query.setText(kTime, time);
    m_query.execSql();
    m_query.close();
}
