// The bytes of a program file (S-records) by address: what the module holds where the
// program was downloaded, for the original word under a breakpoint and the instruction at PC
// when the module cannot be read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::debug {

class ProgramImage {
public:
    // Reads the S1/S2/S3 data records of an S-record file. False, with error() set, when the
    // file cannot be read or a record is malformed (bad hex, length or checksum).
    bool load(const std::string& path);
    bool parse(std::string_view text);

    const std::string& error() const { return m_error; }
    bool contains(uint32_t address) const;
    // size bytes from address when the program holds all of them.
    std::optional<std::vector<uint8_t>> read(uint32_t address, std::size_t size) const;
    std::optional<uint16_t> word(uint32_t address) const;
    // The start address of the S7/S8/S9 record, when there is one.
    std::optional<uint32_t> entry() const { return m_entry; }

private:
    std::map<uint32_t, std::vector<uint8_t>> m_blocks;  // contiguous runs, by start address
    std::optional<uint32_t> m_entry;
    std::string m_error;
};

}  // namespace korvan::debug
