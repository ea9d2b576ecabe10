#pragma once

#include <QString>
#include <functional>
#include <optional>

class Connection;
struct Session;

// Adds the rows of the operation log under the logged-in user, on the
// connection the windows write through.
class OperationLog final
{
public:
    OperationLog(Connection& connection, const Session& session);

    // Who the rows are added under.
    QString user() const;

    // An action that writes nothing else (a log-in, a port opened). Throws AppError.
    void record(const QString& action, const QString& details = QString());
    void recordAs(const QString& user, const QString& action, const QString& details);
    struct Entry
    {
        QString action;
        QString details;
    };
    // Runs write and adds its row in one transaction, so that the change and
    // its row are kept together or not at all. write returns the row, or
    // nothing when it changed nothing (then no row). Whatever write or the
    // row throws is rethrown after the rollback.
    void recordWith(const std::function<std::optional<Entry>()>& write);
    // The same for a write whose row is known beforehand.
    void recordWith(const QString& action, const QString& details, const std::function<void()>& write);

private:
    Connection& m_connection;
    const Session& m_session;
};
