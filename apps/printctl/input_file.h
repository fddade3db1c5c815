// Files printctl reads whole: definitions, scripts, rows. Only regular files are read, and only
// up to a bound, so that a device or a pipe named by mistake (/dev/zero) is an error rather
// than a read without end.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.h"

namespace printctl {

constexpr std::uintmax_t kMaxInputBytes = 256ull * 1024 * 1024;

// The bytes of `path`. Errors, word for word: "cannot read PATH", "PATH is not a regular
// file", "PATH is larger than 256 MB".
print::Result<std::string> readInputFile(const std::string& path);

}  // namespace printctl
