#include "users/TForm4.h"

TForm4::TForm4(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Form4"));
    setModal(true);
}
