#include "users/TForm3.h"

TForm3::TForm3(Connection& /*connection*/)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("用户管理"));
    setModal(true);
}
