#pragma once

class TForm1;

// Starting and stopping monitoring from the toolbar, and the countdown of the
// pause between passes in the status bar.
namespace MonitorControl {

void BitBtn4Click(TForm1& form);
void Timer2Timer(TForm1& form);
// The part of a stop that the device and alarm commands also do: no more
// polling, and the button and status bar say so. Edit1, the serial command
// and the countdown are left as they are.
void stopPolling(TForm1& form);
// Refreshes the view of the current selection in update mode.
void refreshSelectedView(TForm1& form);

} // namespace MonitorControl
