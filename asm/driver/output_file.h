// A binary output file written through one large buffer, with a sticky write error: the
// listing and the S-record writers format their lines by hand and hand them over here.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace qubrix {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates path; false (and nothing opened) when that is impossible.
    bool open(const std::string& path) {
        close();
        m_failed = false;
        m_errno = 0;
        m_file = std::fopen(path.c_str(), "wb");
        if (!m_file) {
            m_errno = errno;
            return false;
        }
        std::setvbuf(m_file, nullptr, _IONBF, 0);                                     // this class does the buffering
        if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(kCapacity);  // no need to zero it
        m_used = 0;
        return true;
    }

    bool isOpen() const { return m_file != nullptr; }

    void write(const char* data, std::size_t n) {
        if (!m_file || m_failed) return;
        if (m_used + n > kCapacity) {
            flushBuffer();
            if (n > kCapacity) {
                rawWrite(data, n);
                return;
            }
        }
        std::memcpy(m_buffer.get() + m_used, data, n);
        m_used += n;
    }
    void write(const char* text) { write(text, std::strlen(text)); }

    // Hands everything buffered to the system; false once any write has failed.
    bool flush() {
        flushBuffer();
        return !m_failed;
    }

    // Flushes and closes; false when anything written to this file was lost.
    bool close() {
        if (!m_file) return !m_failed;
        flushBuffer();
        if (std::fclose(m_file) != 0 && !m_failed) {
            m_failed = true;
            m_errno = errno;
        }
        m_file = nullptr;
        return !m_failed;
    }

    bool failed() const { return m_failed; }
    int errorNumber() const { return m_errno; }

private:
    static constexpr std::size_t kCapacity = std::size_t(1) << 18;

    void flushBuffer() {
        if (m_used && m_file && !m_failed) rawWrite(m_buffer.get(), m_used);
        m_used = 0;
    }

    void rawWrite(const char* data, std::size_t n) {
        if (std::fwrite(data, 1, n, m_file) != n || std::ferror(m_file)) {
            m_failed = true;
            m_errno = errno;
        }
    }

    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
    int m_errno = 0;
};

// Upper-case hexadecimal digits written by hand on the hot paths.
inline char* PutHex(char* out, uint32_t value, int digits) {
    // Two digits per table look-up: the S-records format every byte of the object code.
    static constexpr struct Pairs {
        char text[512];
        constexpr Pairs() : text() {
            constexpr char kDigits[] = "0123456789ABCDEF";
            for (int i = 0; i < 256; ++i) {
                text[2 * i] = kDigits[i >> 4];
                text[2 * i + 1] = kDigits[i & 0xF];
            }
        }
    } kPairs;
    int i = digits;
    for (; i >= 2; i -= 2, value >>= 8) std::memcpy(out + i - 2, kPairs.text + 2 * (value & 0xFF), 2);
    if (i == 1) out[0] = kPairs.text[2 * (value & 0xF) + 1];
    return out + digits;
}

}  // namespace qubrix
