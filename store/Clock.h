#pragma once

#include <QDateTime>

// Local time of the system clock, replaceable so that tests can fix "now".
class Clock final
{
public:
    static QDateTime now();
    static void setFixed(const QDateTime& value); // an invalid value restores the system clock
};
