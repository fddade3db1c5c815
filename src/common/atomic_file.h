// A file written whole or not at all: the bytes go to a temporary name beside the file and are
// renamed over it only when every one of them is written, so a failed or cancelled write leaves
// no torn file and an existing file keeps its bytes.
//
// Writing over an existing file keeps what the file was: its permission bits (a private file
// stays private) and, when running as root, its owner and group; a symbolic link stays a link
// and its target receives the bytes. A path that is something else than a regular file (a
// folder, a FIFO, a device) is refused, never replaced by a plain file.
//
// Failures are returned from `open` and `commit` as an Error "cannot write PATH: why", PATH as
// the caller gave it. Nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"

namespace print {

class AtomicFile {
public:
    AtomicFile() = default;
    // Without commit, the temporary file is removed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `path`; refuses a path that is not a regular file (after
    // following symbolic links) or whose folder does not exist.
    Status open(const std::string& path);
    // Buffered; the first failure is kept and reported by `commit`.
    void write(std::string_view bytes);
    // Little-endian numbers, for binary formats.
    void put8(uint8_t v) { write(std::string_view(reinterpret_cast<const char*>(&v), 1)); }
    void put16(uint16_t v);
    void put32(uint32_t v);
    void putDouble(double v);
    // Writes out and syncs the bytes and renames the temporary file over the target. Temporary
    // files of earlier writes of the same file that a killed program left behind go too.
    Status commit();

    // The temporary file's name, for writers that hand the file to a library: such a writer
    // fills and closes it, then calls `adopt` so that `commit` renames it as it is.
    const std::string& tempPath() const { return m_temp; }
    void adopt() { m_adopted = true; }
    // The file the bytes go to: the path given, or the end of its chain of symbolic links.
    const std::string& target() const { return m_target; }

private:
    void flush();
    void sweepAbandoned() const;
    std::string m_path;
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    std::string m_buffer;
    std::string m_error;
    bool m_committed = false;
    bool m_adopted = false;
};

}  // namespace print
