// The korvan workbench program.
#include <QApplication>

#include <cstdio>
#include <cstring>

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

#ifndef KORVAN_VERSION
#define KORVAN_VERSION "0.0.0"
#endif

namespace {

constexpr const char* kHelp =
    "usage: korvan [FILE...]\n"
    "Starts the workbench and opens each FILE in a source window.\n"
    "  --help, -h   print this text and exit\n"
    "  --version    print the version and exit\n"
    "  --           take every following argument as a file\n"
    "Qt's own options (-platform NAME, -style NAME ...) are accepted as well.\n";

bool isHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
    // Answered before the GUI starts, so that they work without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (isHelp(argv[i])) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("korvan %s\n", KORVAN_VERSION);
            return 0;
        }
    }
    QApplication qapp(argc, argv);
    // What is left after Qt took its own options is files, or an option nobody knows.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size() && arguments.at(i) != QLatin1String("--"); ++i) {
        if (arguments.at(i).startsWith(u'-')) {
            std::fprintf(stderr, "korvan: unknown option %s\n%s", qPrintable(arguments.at(i)), kHelp);
            return 2;
        }
    }
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
    if (!app.start(arguments)) return 1;
    return QApplication::exec();
}
