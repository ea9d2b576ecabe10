#include "admin/TForm8.h"

TForm8::TForm8(TForm1& main) : m_main(main)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("软件名称"));
    setModal(true);
}
