#pragma once

#include <QString>

// The values the main window shares with the dialogs and the monitoring code
// for the whole run. They start as 0 or empty text.
struct MainState
{
    QString LoggedInUser;
    QString LoggedInPassword;
    QString LoggedInPermission;
    QString SoftwareName;
    int ComNum = 0;
    int ComBaud = 0;
    int ComDataBit = 0;
    int ComStopBit = 0;
    QString ComParity;
    QString PortState;
    int MonitorPeriod = 0;
    int NodeReadPeriod = 0;
    int Countdown = 0;
    int CommFailCount = 0;
    int AlarmConfirmCount = 0;
    QString SelectedKind;
    int SelectedDeviceId = 0;
    QString SelectedNodeName;
};
