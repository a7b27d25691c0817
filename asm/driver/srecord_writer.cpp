// Motorola S-record output of the object code: records are built one at a time as text and
// written as soon as they are complete.
#include "driver/srecord_writer.h"

namespace qubrix {
namespace {

constexpr unsigned kMaxCount = 36;  // 4 address bytes + 32 data bytes

}  // namespace

SRecordWriter::~SRecordWriter() { close(); }

bool SRecordWriter::open(const std::string& path) {
    m_open = false;
    m_sizeFault = false;
    m_addressFault = false;
    m_records = 0;
    return m_file.open(path);
}

void SRecordWriter::init() {
    m_records = 0;
    m_open = false;
    writeRecord("S004000020DB\r\n", 14);
}

bool SRecordWriter::output(uint32_t address, uint32_t value, int size) {
    if (size != 1 && size != 2 && size != 4) {
        m_sizeFault = true;
        return false;
    }
    if (uint64_t{address} + static_cast<unsigned>(size) > uint64_t{1} << 32) {
        m_addressFault = true;
        return false;
    }
    if (!m_file.isOpen()) return true;
    // Items are never split: a gap or a full record closes the record being built.
    if (m_open && (address != m_next || m_count + static_cast<unsigned>(size) > kMaxCount)) flush();
    if (!m_open) {
        m_buf[0] = 'S';
        m_buf[1] = '3';
        m_buf[2] = m_buf[3] = '0';  // count placeholder
        PutHex(m_buf + 4, address, 8);
        m_len = 12;
        m_count = 4;
        m_sum = byteSum(address);
        m_next = address;
        m_open = true;
    }
    const uint32_t item = size == 4 ? value : value & (size == 2 ? 0xFFFFu : 0xFFu);
    PutHex(m_buf + m_len, item, size * 2);
    m_len += size * 2;
    m_count += static_cast<unsigned>(size);
    m_sum += byteSum(item);
    m_next = address + static_cast<uint32_t>(size);
    if (m_next == 0) flush();  // the top of the address space: address 0 never continues this record
    return true;
}

void SRecordWriter::flush() {
    if (!m_open) return;
    const unsigned count = m_count + 1;  // the checksum byte
    PutHex(m_buf + 2, count, 2);
    PutHex(m_buf + m_len, ~(m_sum + count) & 0xFF, 2);
    m_len += 2;
    m_buf[m_len++] = '\r';
    m_buf[m_len++] = '\n';
    writeRecord(m_buf, static_cast<std::size_t>(m_len));
    ++m_records;
    m_open = false;
}

void SRecordWriter::finish(uint32_t start) {
    if (!m_file.isOpen()) return;
    flush();
    char line[32];
    char* p = line;
    if (m_records <= 0xFFFF) {
        *p++ = 'S';
        *p++ = '5';
        *p++ = '0';
        *p++ = '3';
        p = PutHex(p, m_records, 4);
        p = PutHex(p, ~(3 + byteSum(m_records)) & 0xFF, 2);
    } else if (m_records <= 0xFFFFFF) {
        // Four digits cannot hold the count any more: the 24-bit count record takes over.
        *p++ = 'S';
        *p++ = '6';
        *p++ = '0';
        *p++ = '4';
        p = PutHex(p, m_records, 6);
        p = PutHex(p, ~(4 + byteSum(m_records)) & 0xFF, 2);
    }
    // Beyond 24 bits no count record can express the count; it is optional and left out.
    if (p != line) {
        *p++ = '\r';
        *p++ = '\n';
        writeRecord(line, static_cast<std::size_t>(p - line));
    }
    writeRecord("S9030000FC\r\n", 12);
    p = line;
    *p++ = 'S';
    *p++ = '7';
    *p++ = '0';
    *p++ = '5';
    p = PutHex(p, start, 8);
    p = PutHex(p, ~(5 + byteSum(start)) & 0xFF, 2);
    *p++ = '\r';
    *p++ = '\n';
    writeRecord(line, static_cast<std::size_t>(p - line));
    m_file.close();
}

void SRecordWriter::close() {
    m_open = false;
    m_file.close();
}

}  // namespace qubrix
