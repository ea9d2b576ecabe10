#pragma once

#include <QString>

namespace Permission {

inline const QString kAdministrator = QStringLiteral("管理员");
inline const QString kSuperAdministrator = QStringLiteral("超级管理员");
inline const QString kOrdinaryUser = QStringLiteral("普通用户");

// A stored "超级管理员" has the same rights as "管理员"; any other text is an
// ordinary user.
inline bool isAdministrator(const QString& permission)
{
    return permission == kAdministrator || permission == kSuperAdministrator;
}

} // namespace Permission
