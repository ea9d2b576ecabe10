#include "users/TForm4.h"

TForm4::TForm4(Connection& /*connection*/, MainState& /*state*/)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Form4"));
    setModal(true);
}
