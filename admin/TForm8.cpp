#include "admin/TForm8.h"

TForm8::TForm8(Connection& /*connection*/, MainState& /*state*/)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("软件名称"));
    setModal(true);
}
