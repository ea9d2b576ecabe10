#include "device/TForm5.h"

TForm5::TForm5(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("设备管理"));
    setModal(true);
}
