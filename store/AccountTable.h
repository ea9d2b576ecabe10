#pragma once

#include <QString>

class Query;

// dd_user, the accounts, through the caller's query: after an open the rows
// stay in the query for its grid, or for an edit of the row found.
class AccountTable final
{
public:
    explicit AccountTable(Query& query) : m_query(query) {}

    // Every account, name, password and permission, in table order. The
    // listing at a showing has always been written with a trailing blank.
    void list();
    void listAtShow();
    void openNamed(const QString& name);
    // The accounts of exactly this name and password: a login, a password change.
    void openLogin(const QString& name, const QString& password);
    void add(const QString& name, const QString& password, const QString& permission);
    void removeNamed(const QString& name);
    // Whether removing the accounts the query holds, all of one name, would
    // leave no administrator. A renamed account may share its name with the
    // only administrator, so the accounts that would really be left are
    // counted. Reopens the query on the administrators when it has to count.
    bool lastAdministratorWouldGo();

private:
    void openList(const QString& statement);

    Query& m_query;
};
