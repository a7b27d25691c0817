// The korvan workbench program.
#include <QApplication>

#include "korvan_app.h"
#if KORVAN_HAVE_BUILD
#include "build/assemble_command.h"
#endif
#if KORVAN_HAVE_GNU
#include "build/gnu_commands.h"
#endif
#if KORVAN_HAVE_MONITOR
#include "monitor/monitor_command.h"
#endif

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("hvl_mobr"));
    QApplication::setApplicationName(QStringLiteral("korvan"));
    korvan::shell::CKorvanApp app;
#if KORVAN_HAVE_BUILD
    korvan::build::installBuildCommands(app);
#endif
#if KORVAN_HAVE_GNU
    korvan::build::installGnuCommands(app);
#endif
#if KORVAN_HAVE_MONITOR
    korvan::monitor::installMonitorCommands(app);
#endif
    if (!app.start(QApplication::arguments())) return 1;
    return QApplication::exec();
}
