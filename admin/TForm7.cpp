#include "admin/TForm7.h"

TForm7::TForm7(Query& /*alarmLog*/, QueryModel& /*DataSource1*/)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("告警记录"));
    setModal(true);
}
