// Times downloads to the simulated module at the real line rate, as the download dialog sends
// them (one WriteBlockAck per block, the next block once the last was acknowledged): the block
// phase's share of the line rate, and the whole download against its least possible time.
// Usage: download_bench [--sim PATH-TO-korvan-sim] [--runs N] [--bps BITS-PER-SECOND] [--kib K]
// Without --bps: 32 KiB at 57600 and 4 KiB at 9600 bits/s. Below 57600 bits/s the program has a
// gap every 512 bytes: a full block would take longer on the line than the 1000 ms the channel
// waits for its acknowledgement. --sim takes another build's simulator, so that an old line can
// be timed against the new channel.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "com_tread.h"
#include "program_file.h"
#include "srecord.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Keeps what the module sends, so that the download can wait for the greeting to end: a "."
// in it (the monitor's version number) would otherwise be taken for a block's acknowledgement.
struct Listener : korvan::monitor::ComTread::Document {
    void ReceiveChars(const char* bytes, std::size_t count) override {
        std::lock_guard lock(mutex);
        text.append(bytes, count);
        cv.notify_all();
    }
    void RefreshView() override {}
    bool waitForPrompts(int count, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, limit, [&] {
            int seen = 0;
            for (std::size_t at = 0; (at = text.find(">>-> ", at)) != std::string::npos; at += 5) ++seen;
            return seen >= count;
        });
    }
    std::mutex mutex;
    std::condition_variable cv;
    std::string text;
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Run {
    bool ok = false;
    double blockMs = 0, blockMinMs = 0;  // the blocks, and their bytes' line time
    double wholeMs = 0, wholeMinMs = 0;  // "LO" to the end of "PC=", and the least it can take
    int blocks = 0;
};

// The download dialog's end sequence and commands, with the channel's pauses.
const std::string kLoad("LO\r\x16", 4);
const std::string kEntry = "PC=802000\r";
constexpr double kEndPauseMs = 200, kAfterCrMs = 5;

Run download(const std::string& sim, unsigned bps, const fs::path& abs, const fs::path& dir) {
    const fs::path link = dir / "line";
    fs::remove(link);
    const std::string speed = std::to_string(bps);
    std::fflush(stdout);  // not to be written again by the child
    const pid_t child = ::fork();
    if (child == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::_Exit(127);
        ::execl(sim.c_str(), sim.c_str(), "--link", link.c_str(), "--line-bps", speed.c_str(),
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    for (int i = 0; i < 500 && !fs::exists(link); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    Run run;
    {
        Listener doc;
        korvan::monitor::ComTread channel(doc, link.string(), 0);
        channel.Start();
        channel.SendString("\r");  // the greeting's prompt, then the CR's own
        doc.waitForPrompts(2, std::chrono::seconds(5));
        korvan::monitor::SRecord reader(abs.string());

        std::mutex m;
        std::condition_variable cv;
        int acked = 0, missed = 0;
        bool done = false;
        std::size_t blockBytes = 0;

        const auto start = Clock::now();
        channel.SendString(kLoad);
        channel.WaitIdle(5000);
        const auto blockStart = Clock::now();
        unsigned char buffer[korvan::monitor::kBlockBufferSize];
        int length = 0;
        uint32_t address = 0;
        while (missed == 0 && reader.NextBlock(buffer, length, address)) {
            blockBytes += std::size_t(length);
            ++run.blocks;
            channel.WriteBlockAck(std::string(reinterpret_cast<char*>(buffer), std::size_t(length)), [&](bool ok) {
                std::lock_guard lock(m);
                (ok ? acked : missed)++;
                done = true;
                cv.notify_one();
            });
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return done; });
            done = false;
        }
        const auto blockEnd = Clock::now();
        channel.Pause(int(kEndPauseMs));
        channel.WriteBytes("\r");
        channel.Pause(int(kAfterCrMs));
        channel.SendString(kEntry);
        channel.WaitIdle(5000);
        const auto end = Clock::now();

        const double byteMs = 10.0 * 1000.0 / bps;
        run.ok = missed == 0 && acked == run.blocks;
        run.blockMs = ms(blockEnd - blockStart);
        run.blockMinMs = double(blockBytes) * byteMs;
        run.wholeMs = ms(end - start);
        // Each paced character is followed by its pause (longer than its line time); the blocks,
        // their acknowledgements and the lone CR cross the line; the end sequence pauses twice.
        const double pacedMs = double(kLoad.size() + kEntry.size()) * korvan::monitor::ComTread::kCharPauseMs;
        run.wholeMinMs = pacedMs + kEndPauseMs + kAfterCrMs + double(blockBytes + std::size_t(run.blocks) + 1) * byteMs;
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    return run;
}

struct Spread {
    double median, least;
};

Spread spread(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front()};
}

[[noreturn]] void usage() {
    std::fputs("usage: download_bench [--sim PATH] [--runs N] [--bps BITS-PER-SECOND] [--kib K]\n", stderr);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    std::string sim = KORVAN_SIM;
    int runs = 5;
    unsigned bps = 0;
    int kib = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) usage();
        const char* value = argv[++i];
        if (arg == "--sim")
            sim = value;
        else if (arg == "--runs")
            runs = std::max(1, std::atoi(value));
        else if (arg == "--bps")
            bps = unsigned(std::max(1, std::atoi(value)));
        else if (arg == "--kib")
            kib = std::max(1, std::atoi(value));
        else
            usage();
    }
    std::vector<std::pair<unsigned, int>> cases;
    if (bps != 0)
        cases.emplace_back(bps, kib != 0 ? kib : 32);
    else
        cases = {{57600, kib != 0 ? kib : 32}, {9600, kib != 0 ? kib : 4}};

    const fs::path dir = fs::temp_directory_path() / ("korvan-download-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("simulator: %s, %d runs each\n", sim.c_str(), runs);
    bool allOk = true;
    for (const auto& [speed, size] : cases) {
        const fs::path abs = dir / "program.abs";
        korvan::bench::writeProgramFile(abs.string(), size * 1024, speed < 57600 ? 512 : 0);
        std::vector<double> blockShare, wholeShare;
        Run last;
        for (int r = 0; r < runs; ++r) {
            last = download(sim, speed, abs, dir);
            if (!last.ok) {
                std::printf("  run %d at %u bits/s: a block was not acknowledged\n", r + 1, speed);
                allOk = false;
                continue;
            }
            blockShare.push_back(100.0 * last.blockMinMs / last.blockMs);
            wholeShare.push_back(100.0 * last.wholeMinMs / last.wholeMs);
            std::printf("  run %d at %u bits/s: blocks %.1f ms (line %.1f ms), whole %.1f ms (least %.1f ms)\n", r + 1,
                        speed, last.blockMs, last.blockMinMs, last.wholeMs, last.wholeMinMs);
        }
        if (blockShare.empty()) continue;
        const Spread block = spread(blockShare), whole = spread(wholeShare);
        std::printf("%d KiB at %u bits/s, %d blocks: block phase %.2f %% of the line rate (median; least %.2f %%)\n",
                    size, speed, last.blocks, block.median, block.least);
        std::printf("    whole download at %.2f %% of its least possible speed (median; least %.2f %%)\n", whole.median,
                    whole.least);
    }
    fs::remove_all(dir);
    return allOk ? 0 : 1;
}
