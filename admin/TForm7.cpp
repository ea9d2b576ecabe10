#include "admin/TForm7.h"

TForm7::TForm7(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("告警记录"));
    setModal(true);
}
