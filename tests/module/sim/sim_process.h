// korvan-sim as a child process for the tests that run the real program.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "line.h"

extern char** environ;

namespace korvan::sim {

using namespace std::chrono_literals;

// korvan-sim as a child process with its standard output and error on pipes; killed if the
// test leaves it running. Its locale is the test's own: LC_ALL, LC_MESSAGES and LANG as given
// (the C locale by default, so that it answers in English whatever the tester's locale is).
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args, std::vector<std::string> locale = {"LC_ALL=C"}) {
        args.insert(args.begin(), KORVAN_SIM_PATH);
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry = *e;
            if (!entry.starts_with("LC_ALL=") && !entry.starts_with("LC_MESSAGES=") && !entry.starts_with("LANG="))
                env.push_back(*e);
        }
        for (std::string& e : locale) env.push_back(e.data());
        env.push_back(nullptr);
        const int rc = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = FileDescriptor(out[0]);
        m_err = FileDescriptor(err[0]);
        if (rc != 0) throw std::runtime_error("posix_spawn");
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // Everything on a stream until it closes or the time is up.
    static std::string drain(int fd, std::chrono::milliseconds limit, std::string_view until = {}) {
        std::string text;
        const auto end = Clock::now() + limit;
        while (Clock::now() < end && (until.empty() || text.find(until) == std::string::npos)) {
            pollfd p{fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text;
    }
    std::string firstLine() { return drain(m_out.get(), 5s, "\n"); }
    std::string error() { return drain(m_err.get(), 5s); }
    std::string output() { return drain(m_out.get(), 5s); }

    // The exit status after SIGTERM, or -1 when it does not end within the time.
    int terminate() { return ::kill(m_pid, SIGTERM) == 0 ? wait() : -1; }
    // Resident memory in KiB, from /proc.
    long residentKiB() const {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string key;
        long value = -1;
        while (status >> key) {
            if (key == "VmRSS:" && status >> value) break;
            status.ignore(1 << 10, '\n');
        }
        return value;
    }
    int wait() {
        for (auto end = Clock::now() + 5s; Clock::now() < end; std::this_thread::sleep_for(10ms)) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    FileDescriptor m_out;
    FileDescriptor m_err;
};

// A scratch folder of the test process, removed with everything in it.
struct TempDir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("korvan-sim-test-" + std::to_string(::getpid()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::filesystem::remove_all(path); }
};

}  // namespace korvan::sim
