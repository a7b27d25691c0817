// Reads a Motorola S-record file, checks every record, and hands out merged download blocks.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace korvan::monitor {

// A block is sent to the monitor exactly as it sits in the buffer:
//   offset 0  4 bytes  load address of the first data byte, most significant byte first
//   offset 4  2 bytes  data byte count N, most significant byte first
//   offset 6  N bytes  the data bytes in address order
inline constexpr int kBlockBufferSize = 2048;
inline constexpr int kBlockHeaderSize = 6;
inline constexpr int kMaxBlockData = 1017;  // so a block is at most 1023 bytes

enum class SRecordError {
    None,
    CannotOpen,      // missing, unreadable or not a regular file
    BadRecord,       // a non-empty line that is not "S" + record digit (not S4), or of odd length
    BadHexDigit,     // a character after "Sn" that is not a hexadecimal digit
    BadLength,       // the byte count disagrees with the line, or is too short for the record type
    BadChecksum,     // the checksum byte does not complete the sum to FF
    BadAddress,      // the data would run past address FFFFFFFF
    DataAfterEntry,  // a data record behind the S7/S8 entry record, which ends the data
};

class SRecord {
public:
    // Opens the file and checks every record before any block can be taken, counting
    // TotalLines on the way. On a fault error() says what and errorLine() where; NextBlock
    // then hands out nothing.
    explicit SRecord(const std::string& path);

    SRecord(const SRecord&) = delete;
    SRecord& operator=(const SRecord&) = delete;

    SRecordError error() const { return error_; }
    // 1-based line of the first faulty record; 0 for CannotOpen.
    int errorLine() const { return errorLine_; }
    // The refusal as shown to the user, naming the file and the line; empty when there is no
    // fault. english selects the English text, otherwise French.
    std::string errorMessage(bool english) const;

    // Fills buffer (kBlockBufferSize bytes) with the next block: true with length = N + 6 and
    // address = the block's load address; false when no data is left (length 0, address not
    // written). Contiguous S1/S2/S3 data records are merged up to kMaxBlockData bytes; an
    // address gap, the limit, an S7/S8 entry record or the end of the file ends a block.
    bool NextBlock(unsigned char* buffer, int& length, uint32_t& address);

    // Address of the last S7/S8 record read so far; 0 until one has been read.
    uint32_t EntryAddress() const { return entryAddress_; }
    // Progress: line reads performed so far against the reads needed to reach the end of the
    // file (a file ending with a line feed counts one read more than its lines).
    int LinesRead() const { return linesRead_; }
    int TotalLines() const { return totalLines_; }

private:
    bool ReadLine();  // next line into line_, false at the end; counts LinesRead

    std::string path_;
    std::ifstream file_;
    SRecordError error_ = SRecordError::None;
    int errorLine_ = 0;
    uint32_t entryAddress_ = 0;
    bool needLine_ = true;
    bool exhausted_ = false;
    bool atEof_ = false;  // the last line read had no line feed and ended the file
    int linesRead_ = 0;
    int totalLines_ = 0;
    std::string line_;
};

}  // namespace korvan::monitor
