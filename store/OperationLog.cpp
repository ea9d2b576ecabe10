#include "store/OperationLog.h"

#include "store/Clock.h"
#include "store/Connection.h"
#include "store/OperationLogTable.h"
#include "store/Query.h"
#include "store/StationState.h"

OperationLog::OperationLog(Connection& connection, const Session& session)
    : m_connection(connection), m_session(session)
{}

QString OperationLog::user() const
{
    return m_session.LoggedInUser;
}

void OperationLog::record(const QString& action, const QString& details)
{
    recordAs(m_session.LoggedInUser, action, details);
}

void OperationLog::recordAs(const QString& user, const QString& action, const QString& details)
{
    Query query(m_connection);
    OperationLogTable(query).add(Clock::now(), user, action, details);
}

void OperationLog::recordWith(const QString& action, const QString& details,
                              const std::function<void()>& write)
{
    recordWith([&]() {
        write();
        return Entry{action, details};
    });
}

void OperationLog::recordWith(const std::function<std::optional<Entry>()>& write)
{
    m_connection.beginTransaction();
    try {
        if (const std::optional<Entry> entry = write())
            record(entry->action, entry->details);
        m_connection.commit();
    } catch (...) {
        m_connection.rollback();
        throw;
    }
}
