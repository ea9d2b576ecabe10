#include "store/AccountTable.h"

#include "store/Permission.h"
#include "store/Query.h"

namespace {
const QString kListSql = QStringLiteral("select 用户名,密码,权限 from dd_user");
const QString kPermission = QStringLiteral("权限");
} // namespace

void AccountTable::openList(const QString& statement)
{
    m_query.close();
    m_query.setSql(statement);
    m_query.open();
}

void AccountTable::list()
{
    openList(kListSql);
}

void AccountTable::listAtShow()
{
    openList(kListSql + QLatin1Char(' '));
}

void AccountTable::openNamed(const QString& name)
{
    m_query.close();
    m_query.setSql(QStringLiteral("select 用户名,密码,权限 from dd_user where 用户名=:a"));
    m_query.setText(QStringLiteral("a"), name);
    m_query.open();
}

void AccountTable::openLogin(const QString& name, const QString& password)
{
    m_query.close();
    m_query.setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
    m_query.setText(QStringLiteral("user1"), name);
    m_query.setText(QStringLiteral("password1"), password);
    m_query.open();
}

void AccountTable::add(const QString& name, const QString& password, const QString& permission)
{
    m_query.close();
    m_query.setSql(
        QStringLiteral("Insert into dd_user ([用户名],[密码],[权限])\nvalues(:用户名,:密码,:权限 )"));
    m_query.setText(QStringLiteral("用户名"), name);
    m_query.setText(QStringLiteral("密码"), password);
    m_query.setText(kPermission, permission);
    m_query.execSql();
}

void AccountTable::removeNamed(const QString& name)
{
    m_query.close();
    m_query.setSql(QStringLiteral("Delete from dd_user where 用户名=:a"));
    m_query.setText(QStringLiteral("a"), name);
    m_query.execSql();
}

bool AccountTable::lastAdministratorWouldGo()
{
    int named = 0;
    for (m_query.first(); !m_query.eof(); m_query.next()) {
        if (m_query.fieldText(kPermission) == Permission::kAdministrator)
            ++named;
    }
    if (named == 0)
        return false;
    m_query.close();
    m_query.setSql(QStringLiteral("select 用户名,密码,权限 from dd_user where 权限=:a"));
    m_query.setText(QStringLiteral("a"), Permission::kAdministrator);
    m_query.open();
    return m_query.recordCount() - named < 1;
}
