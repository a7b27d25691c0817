// Writes the machine code of pass 2 as Motorola S-records: header, S3 data records of at most
// 32 bytes, record count, fixed termination and start record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qubrix {

class SRecordWriter {
public:
    SRecordWriter() = default;
    ~SRecordWriter();
    SRecordWriter(const SRecordWriter&) = delete;
    SRecordWriter& operator=(const SRecordWriter&) = delete;

    bool open(const std::string& path);  // truncates; false when it cannot be created
    bool isOpen() const { return m_file != nullptr; }
    void init();                          // header line, no record open
    // One item of 1, 2 or 4 bytes at address; false for any other size (internal fault).
    bool output(uint32_t address, uint32_t value, int size);
    void flush();
    void finish(uint32_t start);          // closing records, then close the file
    void close();
    bool failed() const { return m_failed; }  // a write error happened
    uint32_t dataRecords() const { return m_records; }

private:
    std::FILE* m_file = nullptr;
    bool m_open = false;
    bool m_failed = false;
    uint32_t m_next = 0;
    unsigned m_count = 0;
    unsigned m_sum = 0;
    uint32_t m_records = 0;
    char m_buf[96];
    int m_len = 0;
};

}  // namespace qubrix
