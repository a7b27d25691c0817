// Motorola S-record parsing: data records, entry records, lengths and checksums.
#include "srecord.h"

namespace korvan::sim {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Address bytes of each record type S0..S9; -1 for a type that does not exist.
constexpr int kAddressBytes[10] = {2, 2, 3, 4, -1, 2, 3, 4, 3, 2};

// Checks one record and adds what it holds; returns the error text, empty when the line is good.
std::string parseLine(std::string_view line, SRecordImage& image) {
    if (line.size() < 4 || (line[0] != 'S' && line[0] != 's') || hexDigit(line[1]) < 0 || line[1] > '9')
        return "not an S-record";
    const int type = line[1] - '0';
    const int addressBytes = kAddressBytes[type];
    if (addressBytes < 0) return "unknown record type S" + std::to_string(type);
    if (line.size() % 2 != 0) return "odd number of hexadecimal digits";
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int hi = hexDigit(line[i]), lo = hexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) return "not a hexadecimal digit";
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    if (bytes[0] + 1u != bytes.size()) return "the count does not match the record's length";
    if (bytes[0] < addressBytes + 1) return "record too short for its address";
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    if ((sum & 0xFF) != 0xFF) return "checksum error";
    std::uint32_t address = 0;
    for (int i = 0; i < addressBytes; ++i) address = address << 8 | bytes[1 + static_cast<std::size_t>(i)];
    const auto data = bytes.begin() + 1 + addressBytes;
    const auto end = bytes.end() - 1;
    if (type >= 1 && type <= 3) {
        if (data != end) image.blocks.push_back({address, std::vector<std::uint8_t>(data, end)});
    } else if (type >= 7) {
        if (data != end) return "data in an entry record";
        image.entry = address != 0 ? std::optional<std::uint32_t>(address) : std::nullopt;
    }
    return {};
}

}  // namespace

SRecordImage parseSRecords(std::string_view text) {
    SRecordImage image;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty()) continue;
        const std::string error = parseLine(line, image);
        if (!error.empty()) {
            image.error = "line " + std::to_string(number) + ": " + error;
            return image;
        }
    }
    return image;
}

}  // namespace korvan::sim
