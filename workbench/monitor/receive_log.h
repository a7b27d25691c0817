// The log of the monitor line: every byte received from the module appended to a file as it
// arrives, as terminal programs' log options do.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace korvan::monitor {

class ReceiveLog {
public:
    ReceiveLog() = default;
    ~ReceiveLog() { close(); }
    ReceiveLog(const ReceiveLog&) = delete;
    ReceiveLog& operator=(const ReceiveLog&) = delete;

    // Opens path for appending (created when missing); false, with errorCode() set, when it cannot be.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    const std::string& path() const { return m_path; }
    // Appends bytes as they are and flushes them, so that the file holds everything received so
    // far whatever happens to the workbench. A failed write closes the log and returns false.
    bool write(std::string_view bytes);
    // Why the last open or write failed: its errno value.
    int errorCode() const { return m_errorCode; }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    int m_errorCode = 0;
};

}  // namespace korvan::monitor
