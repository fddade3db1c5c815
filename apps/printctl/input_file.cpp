#include "input_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace printctl {

print::Result<std::string> readInputFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return print::Error{"cannot read " + path};
    if (!std::filesystem::is_regular_file(status))
        return print::Error{path + " is not a regular file"};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return print::Error{"cannot read " + path};
    if (size > kMaxInputBytes)
        return print::Error{path + " is larger than " +
                            std::to_string(kMaxInputBytes / (1024 * 1024)) + " MB"};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    if (in) buf << in.rdbuf();
    if (!in || in.bad()) return print::Error{"cannot read " + path};
    return buf.str();
}

}  // namespace printctl
