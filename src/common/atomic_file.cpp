#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace print {
namespace {

namespace fs = std::filesystem;

// Symbolic links a path may go through before it is taken for a loop, as the kernel counts.
constexpr int kMaxLinks = 40;

Error cannotWrite(const std::string& path, const std::string& why) {
    return Error{"cannot write " + path + ": " + why};
}

// The end of the chain of symbolic links that starts at `path` (the path itself when it is no
// link, also when nothing is there yet).
Result<std::string> followLinks(const std::string& path) {
    fs::path p(path);
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return cannotWrite(path, ec.message());
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return cannotWrite(path, std::strerror(ELOOP));
}

// The process's file-creation mask, read without changing it (umask() would, for a moment, for
// every thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 022;
}

}  // namespace

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_temp.empty()) ::unlink(m_temp.c_str());
}

Status AtomicFile::open(const std::string& path) {
    m_path = path;
    Result<std::string> target = followLinks(path);
    if (!target.ok()) return target.error();
    m_target = target.value();
    const fs::path p(m_target);
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return cannotWrite(path, "the folder " + folder + " does not exist");
    struct stat existing {};
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    // A rename would put a plain file in the place of a folder, a FIFO or a device.
    if (exists && S_ISDIR(existing.st_mode)) return cannotWrite(path, "it is a folder");
    if (exists && !S_ISREG(existing.st_mode)) return cannotWrite(path, "it is not a regular file");

    std::string pattern = (fs::path(folder) / ("." + p.filename().string() + ".XXXXXX")).string();
    m_fd = ::mkstemp(pattern.data());
    if (m_fd < 0) return cannotWrite(path, std::strerror(errno));
    m_temp = pattern;
    mode_t mode = 0666 & ~currentUmask();
    if (exists) {
        mode = existing.st_mode & 07777;
        // The owner first: a change of owner clears set-id bits that the mode then restores.
        // Root keeps the owner and group; anyone else keeps the group where allowed, and where
        // not, nobody of the new group gains the old group's access.
        const bool root = ::geteuid() == 0;
        if (::fchown(m_fd, root ? existing.st_uid : static_cast<uid_t>(-1), existing.st_gid) != 0) {
            if (root)
                return cannotWrite(path,
                                   std::string("cannot keep its owner: ") + std::strerror(errno));
            mode &= ~static_cast<mode_t>(S_IRWXG);
        }
    }
    if (::fchmod(m_fd, mode) != 0) return cannotWrite(path, std::strerror(errno));
    return Status::success();
}

void AtomicFile::flush() {
    size_t done = 0;
    while (m_error.empty() && done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = std::strerror(errno);
            break;
        }
        done += static_cast<size_t>(n);
    }
    m_buffer.clear();
}

void AtomicFile::write(std::string_view bytes) {
    if (!m_error.empty()) return;
    m_buffer.append(bytes);
    if (m_buffer.size() >= (1u << 20)) flush();
}

void AtomicFile::put16(uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    write(std::string_view(b, 2));
}

void AtomicFile::put32(uint32_t v) {
    const char b[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    write(std::string_view(b, 4));
}

void AtomicFile::putDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    put32(static_cast<uint32_t>(bits));
    put32(static_cast<uint32_t>(bits >> 32));
}

Status AtomicFile::commit() {
    if (m_fd < 0 && !m_adopted) return cannotWrite(m_path, "the file is not open");
    if (!m_adopted) {
        flush();
        if (m_error.empty() && ::fsync(m_fd) != 0) m_error = std::strerror(errno);
        if (::close(m_fd) != 0 && m_error.empty()) m_error = std::strerror(errno);
        m_fd = -1;
    } else if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_error.empty()) return cannotWrite(m_path, m_error);
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return cannotWrite(m_path, std::strerror(errno));
    m_committed = true;
    sweepAbandoned();
    return Status::success();
}

void AtomicFile::sweepAbandoned() const {
    // Temporary files of earlier writes of this file that were killed. A write under way
    // writes its temporary file all the time, so one untouched for an hour is nobody's.
    const fs::path target(m_target);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = "." + target.filename().string() + ".";
    const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::error_code timeError;
        const auto written = entry.last_write_time(timeError);
        if (!timeError && written < stale) fs::remove(entry.path(), timeError);
    }
}

}  // namespace print
