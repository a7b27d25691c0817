// Times a 32 KiB download to the simulated module at the real line rate: the block phase's
// throughput as a share of 57600 baud, and the whole download against its theoretical minimum.
// Usage: download_bench [PATH-TO-korvan-sim] [KiB]
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "com_tread.h"
#include "program_file.h"
#include "srecord.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Quiet : korvan::monitor::ComTread::Document {
    void ReceiveChars(const char*, std::size_t) override {}
    void RefreshView() override {}
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const std::string sim = argc > 1 ? argv[1] : KORVAN_SIM;
    const int kib = argc > 2 ? std::atoi(argv[2]) : 32;
    const fs::path dir = fs::temp_directory_path() / ("korvan-download-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path link = dir / "line";
    const fs::path abs = dir / "program.abs";
    korvan::bench::writeProgramFile(abs.string(), kib * 1024);

    const pid_t child = ::fork();
    if (child == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::execl(sim.c_str(), sim.c_str(), "--link", link.c_str(), "--line-bps", "57600", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    for (int i = 0; i < 200 && !fs::exists(link); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    Quiet doc;
    korvan::monitor::ComTread channel(doc, link.string(), 0);
    channel.Start();
    korvan::monitor::SRecord reader(abs.string());

    std::mutex m;
    std::condition_variable cv;
    int acked = 0, missed = 0;
    bool done = false;
    std::size_t blockBytes = 0;
    int blocks = 0;

    const auto start = Clock::now();
    channel.SendString(std::string("LO\r\x16", 4));
    channel.WaitIdle(5000);
    const auto blockStart = Clock::now();
    unsigned char buffer[korvan::monitor::kBlockBufferSize];
    int length = 0;
    uint32_t address = 0;
    // One block at a time, the next one sent when the acknowledgement of the last arrived.
    while (reader.NextBlock(buffer, length, address)) {
        blockBytes += std::size_t(length);
        ++blocks;
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
    channel.Pause(200);
    channel.WriteBytes("\r");
    channel.Pause(5);
    channel.SendString("PC=802000\r");
    channel.WaitIdle(5000);
    const auto end = Clock::now();

    const double bitsPerByte = 10.0, bps = 57600.0;
    const double blockMin = double(blockBytes) * bitsPerByte / bps * 1000.0;
    const std::size_t allBytes = 4 + blockBytes + 1 + 10;
    const double allMin = double(allBytes) * bitsPerByte / bps * 1000.0;
    std::printf("download of %d KiB: %d blocks, %zu block bytes, %d acknowledged, %d missed\n", kib, blocks, blockBytes,
                acked, missed);
    std::printf("block phase: %.1f ms, line minimum %.1f ms: %.1f %% of the line rate\n", ms(blockEnd - blockStart),
                blockMin, 100.0 * blockMin / ms(blockEnd - blockStart));
    std::printf(
        "whole download: %.1f ms, line minimum %.1f ms (the end sequence's fixed pauses and the\n"
        "paced \"LO\" and \"PC=\" commands account for the difference)\n",
        ms(end - start), allMin);

    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    fs::remove_all(dir);
    return missed == 0 ? 0 : 1;
}
