// Reads a Motorola S-record file, checks every record, and hands out merged download blocks.
#include "srecord.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace korvan::monitor {
namespace {

// One decoded record. bytes holds everything after the type: count, address, data, checksum.
struct Record {
    char type = 0;
    uint32_t address = 0;
    const unsigned char* data = nullptr;
    int dataCount = 0;
    std::array<unsigned char, 256> bytes{};
};

bool IsDataRecord(char type) { return type == '1' || type == '2' || type == '3'; }
bool IsEntryRecord(char type) { return type == '7' || type == '8'; }

// Address bytes per record type; 0 for the reserved S4.
//   S0 header, S1/S2/S3 data, S5/S6 record count, S7/S8/S9 end record with the entry address
constexpr int AddressBytes(char type) {
    switch (type) {
    case '0':
    case '1':
    case '5':
    case '9': return 2;
    case '2':
    case '6':
    case '8': return 3;
    case '3':
    case '7': return 4;
    default: return 0;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The line without its line end and trailing blanks (CR LF files, editors' trailing spaces).
std::string_view Trimmed(const std::string& line) {
    std::string_view view(line);
    while (!view.empty() && (view.back() == '\r' || view.back() == ' ' || view.back() == '\t')) view.remove_suffix(1);
    return view;
}

// Decodes and checks one non-empty line.
SRecordError Decode(std::string_view line, Record& record) {
    if (line.size() < 2 || line[0] != 'S' || AddressBytes(line[1]) == 0 || line.size() % 2 != 0)
        return SRecordError::BadRecord;
    record.type = line[1];
    const std::size_t byteCount = (line.size() - 2) / 2;
    if (byteCount > record.bytes.size()) return SRecordError::BadLength;
    unsigned sum = 0;
    for (std::size_t i = 0; i < byteCount; ++i) {
        const int hi = HexValue(line[2 + 2 * i]);
        const int lo = HexValue(line[3 + 2 * i]);
        if (hi < 0 || lo < 0) return SRecordError::BadHexDigit;
        record.bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
        sum += record.bytes[i];
    }
    // The count byte covers address, data and checksum: everything after itself.
    const int addressBytes = AddressBytes(record.type);
    if (byteCount == 0 || record.bytes[0] != byteCount - 1 || static_cast<int>(record.bytes[0]) < addressBytes + 1)
        return SRecordError::BadLength;
    // Count, address and data bytes plus the checksum add up to FF (ones' complement).
    if ((sum & 0xFFu) != 0xFFu) return SRecordError::BadChecksum;
    const int payload = record.bytes[0] - addressBytes - 1;
    // Count and end records carry their address field only.
    if (!IsDataRecord(record.type) && record.type != '0' && payload != 0) return SRecordError::BadLength;
    uint32_t address = 0;
    for (int i = 0; i < addressBytes; ++i) address = (address << 8) | record.bytes[1 + i];
    record.address = address;
    record.data = record.bytes.data() + 1 + addressBytes;
    record.dataCount = payload;
    if (IsDataRecord(record.type) && payload > 0 &&
        uint64_t{address} + static_cast<uint64_t>(payload) - 1 > 0xFFFFFFFFull)
        return SRecordError::BadAddress;
    return SRecordError::None;
}

// Reads one line, counting the read as the progress does: a read that finds the end of the
// file counts too, but none is attempted after a last line without a line feed.
bool ReadCountedLine(std::ifstream& file, std::string& line, bool& atEof, int& count) {
    if (atEof) return false;
    ++count;
    if (!std::getline(file, line)) return false;
    atEof = file.eof();
    return true;
}

}  // namespace

SRecord::SRecord(const std::string& path) : path_(path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error_ = SRecordError::CannotOpen;
        return;
    }
    file_.open(path, std::ios::in | std::ios::binary);
    if (!file_.is_open()) {
        error_ = SRecordError::CannotOpen;
        return;
    }
    // First pass: count the reads and check every record, so that a faulty file is refused
    // before its first block goes out.
    bool atEof = false;
    bool entrySeen = false;
    Record record;
    while (ReadCountedLine(file_, line_, atEof, totalLines_)) {
        const std::string_view view = Trimmed(line_);
        if (view.empty()) continue;
        SRecordError fault = Decode(view, record);
        // The entry record ends the data; data behind it would never be sent.
        if (fault == SRecordError::None && entrySeen && IsDataRecord(record.type) && record.dataCount > 0)
            fault = SRecordError::DataAfterEntry;
        if (fault != SRecordError::None) {
            error_ = fault;
            errorLine_ = totalLines_;
            return;
        }
        entrySeen = entrySeen || IsEntryRecord(record.type);
    }
    if (file_.bad()) {
        error_ = SRecordError::CannotOpen;
        return;
    }
    file_.clear();
    file_.seekg(0);
    line_.clear();
}

bool SRecord::ReadLine() { return ReadCountedLine(file_, line_, atEof_, linesRead_); }

bool SRecord::NextBlock(unsigned char* buffer, int& length, uint32_t& address) {
    length = 0;
    if (error_ != SRecordError::None || exhausted_) return false;
    uint32_t start = 0;
    uint32_t expected = 0;
    int total = 0;
    Record record;
    for (;;) {
        if (needLine_) {
            if (!ReadLine()) {
                exhausted_ = true;
                break;
            }
            needLine_ = false;
        }
        const std::string_view view = Trimmed(line_);
        // Checked already: only empty lines fail to decode here.
        if (view.empty() || Decode(view, record) != SRecordError::None) {
            needLine_ = true;
            continue;
        }
        if (IsDataRecord(record.type)) {
            if (record.dataCount == 0) {  // nothing to load; must not end or split a block
                needLine_ = true;
                continue;
            }
            // A gap or the block limit leaves the record current for the next block.
            if (total > 0 && (record.address != expected || total + record.dataCount > kMaxBlockData)) break;
            if (total == 0) start = record.address;
            std::memcpy(buffer + kBlockHeaderSize + total, record.data, static_cast<std::size_t>(record.dataCount));
            total += record.dataCount;
            expected = record.address + static_cast<uint32_t>(record.dataCount);
            needLine_ = true;
        } else if (IsEntryRecord(record.type)) {
            // The entry record ends the data (checked: no data follows it); a block collected
            // so far goes out with this call, and the next call finds nothing left.
            entryAddress_ = record.address;
            needLine_ = true;
            exhausted_ = true;
            break;
        } else {
            needLine_ = true;  // S0 header, S5/S6 counts, S9
        }
    }
    if (total == 0) return false;
    buffer[0] = static_cast<unsigned char>(start >> 24);
    buffer[1] = static_cast<unsigned char>(start >> 16);
    buffer[2] = static_cast<unsigned char>(start >> 8);
    buffer[3] = static_cast<unsigned char>(start);
    buffer[4] = static_cast<unsigned char>(total >> 8);
    buffer[5] = static_cast<unsigned char>(total);
    length = total + kBlockHeaderSize;
    address = start;
    return true;
}

std::string SRecord::errorMessage(bool english) const {
    const char* what = nullptr;
    switch (error_) {
    case SRecordError::None: return {};
    case SRecordError::CannotOpen:
        return english ? path_ + ": cannot open the file" : path_ + " : impossible d'ouvrir le fichier";
    case SRecordError::BadRecord: what = english ? "malformed record" : "enregistrement mal formé"; break;
    case SRecordError::BadHexDigit:
        what = english ? "invalid hexadecimal digit" : "chiffre hexadécimal invalide";
        break;
    case SRecordError::BadLength:
        what = english ? "byte count does not match the record" : "nombre d'octets incohérent avec l'enregistrement";
        break;
    case SRecordError::BadChecksum: what = english ? "bad checksum" : "somme de contrôle incorrecte"; break;
    case SRecordError::BadAddress:
        what = english ? "data beyond address FFFFFFFF" : "données au-delà de l'adresse FFFFFFFF";
        break;
    case SRecordError::DataAfterEntry:
        what = english ? "data record after the end record" : "enregistrement de données après l'enregistrement de fin";
        break;
    }
    const std::string line = std::to_string(errorLine_);
    return english ? path_ + ", line " + line + ": " + what : path_ + ", ligne " + line + " : " + what;
}

}  // namespace korvan::monitor
