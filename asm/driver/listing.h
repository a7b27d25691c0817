// The ".lis" listing: one line per pass-2 source line with location, emitted values, sequence
// number and source text, then a two-line summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "driver/output_file.h"

namespace qubrix {

class ListingWriter {
public:
    ListingWriter() = default;
    ~ListingWriter();
    ListingWriter(const ListingWriter&) = delete;
    ListingWriter& operator=(const ListingWriter&) = delete;

    bool open(const std::string& path);
    bool isOpen() const { return m_file.isOpen(); }
    void close();

    bool on = false;  // the listing flag (LISTFLAG, LIST, NOLIST)

    void startLine(uint32_t location);
    bool listObj(uint32_t value, int size);  // false for a size other than 1, 2, 4
    void addEquate(uint32_t value);          // "=%08X " at the current column
    // The line buffer, the sequence number, the source and the annotation of code.
    void writeLine(int32_t sequence, std::string_view source, int code);
    void writeSummary(int errors, int warnings);
    bool failed() const { return m_file.failed(); }
    int errorNumber() const { return m_file.errorNumber(); }
    bool sizeFault() const { return m_sizeFault; }
    std::string_view buffer() const { return std::string_view(m_buf, m_len); }

private:
    OutputFile m_file;
    bool m_sizeFault = false;
    char m_buf[128];
    int m_len = 0;     // characters in the buffer
    int m_column = 0;  // the column as the cut rule counts it
};

}  // namespace qubrix
