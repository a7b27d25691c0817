// Reading Motorola S-record files for the simulator's headless run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::sim {

struct SRecordImage {
    struct Block {
        std::uint32_t address = 0;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Block> blocks;           // S1/S2/S3 data, in file order
    std::optional<std::uint32_t> entry;  // from S7/S8/S9, when not zero
    std::string error;                   // "line N: ..." for the first bad line; empty when read
};

// Parses the text of an S-record file. Lines may end in LF or CR LF; blank lines are skipped.
// Every record's length and checksum are checked; S0 (header) and S5/S6 (counts) are read
// over. An entry address of zero means none: nothing is mapped there on the module.
SRecordImage parseSRecords(std::string_view text);

}  // namespace korvan::sim
