// Harnesses shared by the test folders: a child process on pipes (korvan-sim above all, whose
// line is a pseudo-terminal), its trace of the line, scratch folders and S-record files.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace korvan::test {

using namespace std::chrono_literals;
using TestClock = std::chrono::steady_clock;

// A program as a child process with its standard output and error on pipes; killed if the
// test leaves it running. Its locale is the test's own: LC_ALL, LC_MESSAGES and LANG as given
// (the C locale by default, so that it answers in English whatever the tester's locale is).
class Process {
public:
    explicit Process(std::vector<std::string> argv, std::vector<std::string> locale = {"LC_ALL=C"}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        std::vector<char*> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry = *e;
            if (!entry.starts_with("LC_ALL=") && !entry.starts_with("LC_MESSAGES=") && !entry.starts_with("LANG="))
                env.push_back(*e);
        }
        for (std::string& e : locale) env.push_back(e.data());
        env.push_back(nullptr);
        const int rc = ::posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (rc != 0) throw std::runtime_error("posix_spawn " + argv[0]);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    // Everything on a stream until it closes, `until` has come or the time is up.
    static std::string drain(int fd, std::chrono::milliseconds limit, std::string_view until = {}) {
        std::string text;
        const auto end = TestClock::now() + limit;
        while (TestClock::now() < end && (until.empty() || text.find(until) == std::string::npos)) {
            pollfd p{fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - TestClock::now());
            if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text;
    }
    // The first line of standard output without its line end.
    std::string firstLine() {
        std::string line = drain(m_out, 5s, "\n");
        if (line.ends_with('\n')) line.pop_back();
        return line;
    }
    std::string error() { return drain(m_err, 5s); }
    std::string output() { return drain(m_out, 5s); }

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
    // The exit status (128 + signal when killed), or -1 when it does not end within 5 s.
    int wait() {
        for (auto end = TestClock::now() + 5s; TestClock::now() < end; std::this_thread::sleep_for(10ms)) {
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
    int m_out = -1;
    int m_err = -1;
};

#ifdef KORVAN_SIM_PATH
// korvan-sim with the given arguments.
struct Simulator : Process {
    explicit Simulator(std::vector<std::string> args, std::vector<std::string> locale = {"LC_ALL=C"})
        : Process((args.insert(args.begin(), KORVAN_SIM_PATH), std::move(args)), std::move(locale)) {}
};
#endif

// The bytes of one direction ("in" or "out") of a korvan-sim trace, whose rows read
// "time direction hex bytes".
inline std::string tracedBytes(const std::filesystem::path& trace, std::string_view direction) {
    std::ifstream in(trace);
    std::string bytes, row, time, dir, hex;
    while (std::getline(in, row)) {
        std::istringstream fields(row);
        if (!(fields >> time >> dir) || dir != direction) continue;
        while (fields >> hex) bytes += static_cast<char>(std::stoi(hex, nullptr, 16));
    }
    return bytes;
}

// A scratch folder of its own, removed with everything in it.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvan-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
        path = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        if (!keep) std::filesystem::remove_all(path);
    }
    // Writes a file of the folder and gives its path.
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
    bool keep = false;
};

// One S-record line without its line end: S0-S3 data or S5-S9 records, the address as wide as
// the type says, count and checksum computed.
inline std::string srecord(int type, std::uint32_t address, const std::vector<std::uint8_t>& data = {}) {
    const int width = type == 2 || type == 8 ? 3 : type == 3 || type == 7 ? 4 : 2;
    std::string line = "S" + std::to_string(type);
    unsigned sum = 0;
    const auto put = [&](unsigned byte) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", byte & 0xFF);
        line += hex;
        sum += byte & 0xFF;
    };
    put(static_cast<unsigned>(width + data.size() + 1));
    for (int i = width - 1; i >= 0; --i) put(address >> (8 * i));
    for (std::uint8_t b : data) put(b);
    put(~sum);
    return line;
}

// The full path of a program found on PATH, empty when there is none.
inline std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

// Big-endian bytes of 16-bit words (instruction words of a program).
inline std::vector<std::uint8_t> bytesOf(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> out;
    for (std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w >> 8));
        out.push_back(static_cast<std::uint8_t>(w));
    }
    return out;
}

}  // namespace korvan::test
