#include "link/TForm6.h"

TForm6::TForm6(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("串口设置"));
    setModal(true);
}
