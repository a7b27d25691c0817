// Writes a program of a given size as the assembler lays it out: 32-byte S3 records from
// $802000, then its S7 entry record. With `run` (a multiple of 32), a gap of 32 bytes follows
// every run of that many bytes, so that the download sends blocks of that size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace korvan::bench {

inline void writeProgramFile(const std::string& path, int size, int run = 0) {
    std::ofstream out(path, std::ios::binary);
    char hex[3];
    for (int offset = 0; offset < size; offset += 32) {
        const int gaps = run > 0 ? offset / run : 0;
        const uint32_t address = 0x802000u + static_cast<uint32_t>(offset + 32 * gaps);
        const int n = size - offset < 32 ? size - offset : 32;
        unsigned sum = 0;
        std::string line = "S3";
        auto put = [&](unsigned byte) {
            std::snprintf(hex, sizeof hex, "%02X", byte & 0xFFu);
            line += hex;
            sum += byte & 0xFFu;
        };
        put(static_cast<unsigned>(n + 5));
        for (int shift = 24; shift >= 0; shift -= 8) put(address >> shift);
        for (int i = 0; i < n; ++i) put(static_cast<unsigned>(offset + i) * 7u);
        put(~sum);
        out << line << "\r\n";
    }
    out << "S705008020005A\r\n";
}

}  // namespace korvan::bench
