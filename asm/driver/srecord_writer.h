// Writes the machine code of pass 2 as Motorola S-records: header, S3 data records of at most
// 32 bytes, record count, fixed termination and start record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/output_file.h"

namespace qubrix {

class SRecordWriter {
public:
    SRecordWriter() = default;
    ~SRecordWriter();
    SRecordWriter(const SRecordWriter&) = delete;
    SRecordWriter& operator=(const SRecordWriter&) = delete;

    bool open(const std::string& path);  // truncates; false when it cannot be created
    bool isOpen() const { return m_file.isOpen(); }
    void init();  // header line, no record open
    // One item of 1, 2 or 4 bytes at address; false for any other size, or for an item that
    // would run past $FFFFFFFF (internal faults).
    // Without an open file nothing is written.
    bool output(uint32_t address, uint32_t value, int size);
    void flush();
    // Closing records (count, termination, start), then the file is closed.
    void finish(uint32_t start);
    void close();
    bool failed() const { return m_file.failed(); }  // a write error happened
    int errorNumber() const { return m_file.errorNumber(); }
    bool sizeFault() const { return m_sizeFault; }        // an item of an invalid size was refused
    bool addressFault() const { return m_addressFault; }  // an item ran past $FFFFFFFF
    uint32_t dataRecords() const { return m_records; }

    // The sum of the four bytes of a value, modulo 256.
    static unsigned byteSum(uint32_t v) { return (v + (v >> 8) + (v >> 16) + (v >> 24)) & 0xFF; }

private:
    void writeRecord(const char* text, std::size_t n) { m_file.write(text, n); }

    OutputFile m_file;
    bool m_open = false;  // a data record is being built
    bool m_sizeFault = false;
    bool m_addressFault = false;
    uint32_t m_next = 0;     // the address that continues the open record
    unsigned m_count = 0;    // count field so far: address bytes plus data bytes
    unsigned m_sum = 0;      // running checksum of address and data bytes
    uint32_t m_records = 0;  // data records written
    char m_buf[96];          // "S3", count, address, up to 32 data bytes, checksum, CR LF
    int m_len = 0;
};

}  // namespace qubrix
