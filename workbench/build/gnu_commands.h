// The GNU build commands of source windows (compile 145, build 32787, link 103) and the GNU
// settings command (32788).
#pragma once

#include "gnu_dialog.h"

namespace korvan::shell {
class CKorvanApp;
class CKorvanView;
}  // namespace korvan::shell

namespace korvan::build {

// Gives every source view the three build commands and the application the settings command;
// call before app.start().
void installGnuCommands(shell::CKorvanApp& app);

// Runs the build dialog over the view's source in the given mode, then: compile only and OK
// queues a full build of the same view; build or link and OK record the last built source and
// run the monitor-window command; Cancel opens "gnu.txt", and the tools' diagnostics fill the
// error list.
void runGnu(shell::CKorvanApp& app, shell::CKorvanView& view, CGnu::Mode mode);

// The compiler's and linker's diagnostics in the "Liste des erreurs" window, in their order.
void showToolDiagnostics(shell::CKorvanApp& app, const std::vector<gnu::ToolDiagnostic>& diagnostics);

// The toolchain root found at start-up and the driver prefix of the settings.
GnuToolchain gnuToolchain(shell::CKorvanApp& app);

}  // namespace korvan::build
