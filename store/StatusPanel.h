#pragma once

// The panels of the main window's status bar, left to right; the windows and
// the monitoring code address them by these names.
namespace StatusPanel {
enum Index : int {
    kUser,       // permission and user name
    kPort,       // serial port state
    kMonitoring, // monitoring started or not
    kCountdown,  // countdown to the next pass
    kVersion,
};
} // namespace StatusPanel
