#pragma once

#include <QString>

// The values the station shares with the dialogs and the monitoring code for
// the whole run, in the groups that change together. They start as 0 or
// empty text.

// Who is logged in and the name the station runs under.
struct Session final
{
    QString LoggedInUser;
    QString LoggedInPassword;
    QString LoggedInPermission;
    QString SoftwareName;
};

// The serial line's settings and whether its port is open.
struct LineSettings final
{
    int ComNum = 0;
    int ComBaud = 0;
    int ComDataBit = 0;
    int ComStopBit = 0;
    QString ComParity;
    QString PortState;
};

// The two periods of polling, the pause between passes and the confirmations
// of a communication loss or an alarm under way.
struct PollState final
{
    int MonitorPeriod = 0;
    int NodeReadPeriod = 0;
    int Countdown = 0;
    int CommFailCount = 0;
    int AlarmConfirmCount = 0;
};

// What the device tree selected: the data view shows it and polling walks it.
struct Selection final
{
    QString SelectedKind;
    int SelectedDeviceId = 0;
    QString SelectedNodeName;
};
