// Whole-file reading and safe writing with POSIX calls.
#include "source_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvan::shell {

namespace fs = std::filesystem;

namespace {

FileResult failure(int err) {
    FileResult r;
    r.error = std::strerror(err);
    r.code = err;
    return r;
}

FileResult success() {
    FileResult r;
    r.ok = true;
    return r;
}

// Closes a descriptor and removes the temporary file unless released.
class TempFile {
public:
    explicit TempFile(std::string pattern) : m_path(std::move(pattern)) { m_fd = ::mkstemp(m_path.data()); }
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_released) ::unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    int close() {
        int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }
    void release() { m_released = true; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_released = false;
};

FileResult refusal(ReadRefusal why, uint64_t at) {
    FileResult r;
    r.refusal = why;
    r.at = at;
    return r;
}

}  // namespace

FileResult readWholeFile(const std::string& path, std::string& bytes, const ReadLimits& limits) {
    // Not blocked by a named pipe without a writer: the editor would stop answering.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failure(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return failure(errno);
    if (S_ISDIR(st.st_mode)) return failure(EISDIR);
    if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > limits.maxBytes)
        return refusal(ReadRefusal::TooLarge, static_cast<uint64_t>(st.st_size));

    std::string text;
    if (S_ISREG(st.st_mode)) text.reserve(static_cast<size_t>(st.st_size));
    uint64_t line = 1;  // the line being read, from 1
    uint64_t lineBytes = 0;
    bool afterCr = false;
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failure(errno);
        }
        if (n == 0) break;
        if (text.size() + static_cast<uint64_t>(n) > limits.maxBytes)
            return refusal(ReadRefusal::TooLarge, text.size() + static_cast<uint64_t>(n));
        // CR LF, LF and a lone CR each end a line, as when the text is decoded.
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c == '\n' || c == '\r') {
                if (c == '\r' || !afterCr) ++line;
                afterCr = c == '\r';
                lineBytes = 0;
            } else {
                afterCr = false;
                if (++lineBytes > limits.maxLineBytes) return refusal(ReadRefusal::LineTooLong, line);
            }
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    bytes = std::move(text);
    return success();
}

FileResult writeFileSafely(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";

    TempFile tmp((folder / ("." + target.filename().string() + ".XXXXXX")).string());
    if (tmp.fd() < 0) return failure(errno);

    struct stat st {};
    mode_t mode = 0666;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(tmp.fd(), mode) != 0) return failure(errno);

    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(tmp.fd(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failure(errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(tmp.fd()) != 0) return failure(errno);
    if (tmp.close() != 0) return failure(errno);
    if (::rename(tmp.path().c_str(), target.c_str()) != 0) return failure(errno);
    tmp.release();
    return success();
}

}  // namespace korvan::shell
