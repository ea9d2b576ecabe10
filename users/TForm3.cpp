#include "users/TForm3.h"

TForm3::TForm3(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("用户管理"));
    setModal(true);
}
