#include "device/TForm5.h"

TForm5::TForm5(Connection& /*connection*/, Query& /*treeQuery*/, const TreeImageList& /*images*/)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("设备管理"));
    setModal(true);
}
