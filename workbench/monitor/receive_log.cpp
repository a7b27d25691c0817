// The monitor line's log file.
#include "receive_log.h"

#include <cerrno>

namespace korvan::monitor {

bool ReceiveLog::open(const std::string& path) {
    close();
    m_path = path;
    m_file = std::fopen(path.c_str(), "abe");
    m_errorCode = m_file ? 0 : errno;
    return m_file != nullptr;
}

void ReceiveLog::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

bool ReceiveLog::write(std::string_view bytes) {
    if (!m_file) return false;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() && std::fflush(m_file) == 0) return true;
    m_errorCode = errno ? errno : EIO;
    close();
    return false;
}

}  // namespace korvan::monitor
