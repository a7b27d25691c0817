// The listing writer: the left part of each line is built while the line is assembled, then
// written with the sequence number, the source text and the class text of its diagnostic.
#include "driver/listing.h"

#include <cstring>

#include "driver/diagnostics.h"

namespace qubrix {
namespace {

constexpr int kFullColumn = 40;  // no value is listed past this column
constexpr int kLeftWidth = 41;   // the left part is padded to this width

}  // namespace

ListingWriter::~ListingWriter() { close(); }

bool ListingWriter::open(const std::string& path) {
    m_sizeFault = false;
    return m_file.open(path);
}

void ListingWriter::close() { m_file.close(); }

void ListingWriter::startLine(uint32_t location) {
    PutHex(m_buf, location, 8);
    m_buf[8] = ' ';
    m_len = 9;
    m_column = 9;
}

bool ListingWriter::listObj(uint32_t value, int size) {
    if (size != 1 && size != 2 && size != 4) {
        m_sizeFault = true;
        return false;
    }
    if (m_column + size > kFullColumn) {
        // The line is full: cut it inside the last listed item and mark it with dots. The
        // column stays, so every further value of the line meets the same test.
        const int cut = size == 2 ? 35 : 37;
        if (m_len < cut) std::memset(m_buf + m_len, ' ', static_cast<std::size_t>(cut - m_len));
        std::memcpy(m_buf + cut, "...", 3);
        m_len = cut + 3;
        return true;
    }
    const int digits = size * 2;
    const uint32_t item = size == 4 ? value : value & (size == 2 ? 0xFFFFu : 0xFFu);
    PutHex(m_buf + m_len, item, digits);
    m_buf[m_len + digits] = ' ';
    m_len += digits + 1;
    m_column += digits + 1;
    return true;
}

void ListingWriter::addEquate(uint32_t value) {
    if (m_len + 10 > static_cast<int>(sizeof m_buf)) return;
    m_buf[m_len] = '=';
    PutHex(m_buf + m_len + 1, value, 8);
    m_buf[m_len + 9] = ' ';
    m_len += 10;
    m_column += 10;
}

void ListingWriter::writeLine(int32_t sequence, std::string_view source, int code) {
    if (!m_file.isOpen()) return;
    char head[sizeof m_buf + 32];
    std::memcpy(head, m_buf, static_cast<std::size_t>(m_len));
    int n = m_len;
    while (n < kLeftWidth) head[n++] = ' ';
    // The sequence number, right-aligned in five characters (wider numbers are written whole).
    char digits[12];
    int d = 0;
    uint32_t v = sequence < 0 ? 0u : static_cast<uint32_t>(sequence);
    do {
        digits[d++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    for (int pad = 5 - d; pad > 0; --pad) head[n++] = ' ';
    while (d) head[n++] = digits[--d];
    head[n++] = '\t';
    m_file.write(head, static_cast<std::size_t>(n));
    m_file.write(source.data(), source.size());
    if (code != 0) {
        const char* text = ListingAnnotation(code);
        if (*text) {
            m_file.write(" : ", 3);
            m_file.write(text);
        }
    }
    m_file.write("\r\n", 2);
}

void ListingWriter::writeSummary(int errors, int warnings) {
    if (!m_file.isOpen()) return;
    char line[64];
    int n;
    if (errors < 1)
        n = std::snprintf(line, sizeof line, "No errors detected\r\n");
    else
        n = std::snprintf(line, sizeof line, "%d error%s detected\r\n", errors, errors >= 2 ? "s" : "");
    m_file.write(line, static_cast<std::size_t>(n));
    if (warnings < 1)
        n = std::snprintf(line, sizeof line, "No warnings generated\r\n");
    else
        n = std::snprintf(line, sizeof line, "%d warning%s generated\r\n", warnings, warnings >= 2 ? "s" : "");
    m_file.write(line, static_cast<std::size_t>(n));
}

}  // namespace qubrix
