// The application's monitor commands: the monitor window (opened once, reloaded when asked
// again) and the monitor configuration, disabled while the window exists.
#pragma once

namespace korvan::shell {
class CKorvanApp;
}

namespace korvan::monitor {

class ViewMonitor;

void installMonitorCommands(shell::CKorvanApp& app);
// The open monitor window's view, or null.
ViewMonitor* findMonitorView(shell::CKorvanApp& app);
// Opens the monitor window, or activates it and queues its reload.
ViewMonitor* openMonitorWindow(shell::CKorvanApp& app);
// Runs the configuration dialog; writes the three settings on OK only.
void configureMonitor(shell::CKorvanApp& app);

}  // namespace korvan::monitor
