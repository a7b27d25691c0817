// korvan-sim: the training module simulated on a pseudo-terminal, for the workbench to talk to.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

#include "executor.h"
#include "gdb_server.h"
#include "headless.h"
#include "line.h"
#include "machine.h"
#include "monitor.h"
#include "texts.h"

namespace {

using namespace korvan::sim;

constexpr std::string_view kUsage =
    "usage: korvan-sim [--link PATH] [--line-bps N] [--silent] [--no-ack] [--trace FILE]\n"
    "                  [--lang fr|en] [--version] [--help]\n"
    "       korvan-sim --run PROG.abs [--max-instructions N] [--count]\n"
    "       korvan-sim --gdb PORT [--load PROG.abs]\n"
    "Simulates the training module on a pseudo-terminal and prints its path on the first line.\n"
    "  --link PATH     make PATH a symbolic link to the pseudo-terminal (removed at exit)\n"
    "  --line-bps N    pace the line at N bits per second, 10 bits a byte (default 57600,\n"
    "                  0 = as fast as possible)\n"
    "  --silent        never answer (a module that is off)\n"
    "  --no-ack        never acknowledge download blocks\n"
    "  --trace FILE    append one line per chunk received or sent (time, direction, hex bytes)\n"
    "  --lang fr|en    language of the monitor's texts on the line (default from LC_ALL,\n"
    "                  LC_MESSAGES or LANG: French when it starts with \"fr\", else English)\n"
    "  --version       print the version and exit\n"
    "  --help          print this text and exit\n"
    "Without a line, --run loads an S-record file, runs it from its entry (or $802000) and\n"
    "writes the program's serial output to standard output; the program reads standard input\n"
    "as it arrives. Why it stopped and the registers go to standard error. Exit status: the\n"
    "program's own when it ended (TRAP #15 function 0, status in D1.B: main's value or exit's\n"
    "argument), 124 the instruction limit was reached, 125 the file cannot be loaded, 128 + the\n"
    "vector number when an exception stopped it (131 address error, 132 illegal instruction,\n"
    "BKPT or ILLEGAL, 175 an unknown TRAP #15 function), 128 a stop without an exception\n"
    "(STOP, double fault, end of input while the program waits for a character).\n"
    "  --run FILE                run FILE headless\n"
    "  --max-instructions N      stop after N instructions (default: no limit)\n"
    "  --count                   write \"N instructions\" to standard error at the end\n"
    "With --gdb, a GDB remote-protocol server listens on 127.0.0.1:PORT (loopback only; 0 takes a\n"
    "free port) and prints \"listening on 127.0.0.1:PORT\" on the first line; then, in gdb with the\n"
    "program's ELF file: target remote :PORT. One debugger at a time; each finds the module reset\n"
    "with the program of --load in memory (else gdb's load command puts it there) and runs nothing\n"
    "until told. The program's serial output goes to standard output, its input comes from\n"
    "standard input. Exit status 125 when the program cannot be loaded.\n"
    "  --gdb PORT                serve GDB on the loopback port PORT\n"
    "  --load FILE               load the S-record file FILE for the debugger, PC at its entry\n";

struct Arguments {
    std::string link;
    std::string trace;
    LineOptions line;
    std::string run;
    std::optional<std::uint64_t> maxInstructions;
    bool count = false;
    std::optional<std::uint16_t> gdbPort;
    std::string load;
    Language language = languageFromEnvironment();
    bool lineOption = false;  // an option of the pseudo-terminal was given
    bool acknowledge = true;
    bool version = false;
    bool help = false;
};

// Accepts "--name VALUE" and "--name=VALUE". Returns nothing for a command line it cannot use.
std::optional<Arguments> parse(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = std::string(arg.substr(eq + 1));
            arg = arg.substr(0, eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < argc) return std::string(argv[++i]);
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            target = true;
            return !inlineValue.has_value();
        };
        bool ok = true;
        if (arg == "--link" || arg == "--trace" || arg == "--line-bps" || arg == "--silent" || arg == "--no-ack" ||
            arg == "--lang")
            args.lineOption = true;
        if (arg == "--link") {
            const auto v = value();
            ok = v && !v->empty();
            if (ok) args.link = *v;
        } else if (arg == "--trace") {
            const auto v = value();
            ok = v && !v->empty();
            if (ok) args.trace = *v;
        } else if (arg == "--line-bps") {
            const auto v = value();
            ok = v && !v->empty() && v->find_first_not_of("0123456789") == std::string::npos && v->size() <= 9;
            if (ok) args.line.bitsPerSecond = static_cast<unsigned>(std::stoul(*v));
        } else if (arg == "--lang") {
            const auto v = value();
            const std::optional<Language> language = v ? parseLanguage(*v) : std::nullopt;
            if (!language) {
                std::cerr << "korvan-sim: --lang takes fr or en\n";
                return std::nullopt;
            }
            args.language = *language;
        } else if (arg == "--run") {
            const auto v = value();
            ok = v && !v->empty();
            if (ok) args.run = *v;
        } else if (arg == "--max-instructions") {
            const auto v = value();
            ok = v && !v->empty() && v->find_first_not_of("0123456789") == std::string::npos && v->size() <= 18;
            if (ok) args.maxInstructions = std::stoull(*v);
        } else if (arg == "--count") {
            ok = flag(args.count);
        } else if (arg == "--gdb") {
            const auto v = value();
            ok = v && !v->empty() && v->find_first_not_of("0123456789") == std::string::npos && v->size() <= 5 &&
                 std::stoul(*v) <= 65535;
            if (ok) args.gdbPort = static_cast<std::uint16_t>(std::stoul(*v));
        } else if (arg == "--load") {
            const auto v = value();
            ok = v && !v->empty();
            if (ok) args.load = *v;
        } else if (arg == "--silent") {
            ok = flag(args.line.silent);
        } else if (arg == "--no-ack") {
            bool noAck = false;
            ok = flag(noAck);
            args.acknowledge = !noAck;
        } else if (arg == "--version") {
            ok = flag(args.version);
        } else if (arg == "--help") {
            ok = flag(args.help);
        } else {
            ok = false;
        }
        if (!ok) {
            std::cerr << "korvan-sim: cannot use the argument \"" << argv[i] << "\"\n";
            return std::nullopt;
        }
    }
    if (args.maxInstructions && args.run.empty()) {
        std::cerr << "korvan-sim: --max-instructions goes with --run\n";
        return std::nullopt;
    }
    if (args.count && args.run.empty()) {
        std::cerr << "korvan-sim: --count goes with --run\n";
        return std::nullopt;
    }
    if (!args.load.empty() && !args.gdbPort) {
        std::cerr << "korvan-sim: --load goes with --gdb\n";
        return std::nullopt;
    }
    if (args.gdbPort && (!args.run.empty() || args.lineOption)) {
        std::cerr << "korvan-sim: --gdb goes with neither --run nor the options of the pseudo-terminal\n";
        return std::nullopt;
    }
    return args;
}

int g_signalPipe = -1;

extern "C" void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe, &byte, 1);
    errno = saved;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Arguments> args = parse(argc, argv);
    if (!args) {
        std::cerr << kUsage;
        return 2;
    }
    if (args->help) {
        std::cout << kUsage;
        return 0;
    }
    if (args->version) {
        std::cout << "korvan-sim " << KORVAN_VERSION << '\n';
        return 0;
    }
    if (!args->run.empty())
        return runHeadless({args->run, args->maxInstructions, STDIN_FILENO, args->count}, std::cout, std::cerr);

    try {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            std::perror("korvan-sim: pipe");
            return 1;
        }
        const FileDescriptor stopRead(fds[0]);
        const FileDescriptor stopWrite(fds[1]);
        g_signalPipe = stopWrite.get();
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        ::signal(SIGPIPE, SIG_IGN);

        if (args->gdbPort) {
            Machine module;
            if (!args->load.empty()) {
                if (const std::string error = loadProgram(args->load, module); !error.empty()) {
                    std::cerr << "korvan-sim: " << error << '\n';
                    return kRunCannotLoad;
                }
            }
            GdbServer server(*args->gdbPort, module);
            std::cout << "listening on 127.0.0.1:" << server.port() << std::endl;  // flushed: scripts wait for it
            server.run(stopRead.get(), STDIN_FILENO, STDOUT_FILENO);
            g_signalPipe = -1;
            return 0;
        }

        PseudoTerminal pty;
        std::unique_ptr<Trace> trace;
        if (!args->trace.empty()) trace = std::make_unique<Trace>(args->trace);

        Machine machine;
        CpuExecutor executor(args->language);
        Monitor::Options monitorOptions;
        monitorOptions.language = args->language;
        monitorOptions.acknowledge = args->acknowledge;
        Monitor monitor(machine, executor, monitorOptions);
        // Watching the slave before its path is out (as a link or on standard output), so that
        // no opener goes unseen.
        LineServer server(pty, monitor, args->line, trace.get());
        std::unique_ptr<SymbolicLink> link;
        if (!args->link.empty()) link = std::make_unique<SymbolicLink>(args->link, pty.slavePath());
        std::cout << pty.slavePath() << std::endl;  // flushed: scripts wait for this line
        server.run(stopRead.get());
        g_signalPipe = -1;
    } catch (const std::exception& e) {
        std::cerr << "korvan-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
