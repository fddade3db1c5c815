#include "library_option.h"

namespace printctl {

bool addLibraryFile(const std::string& path, std::string& error) {
    error = "library files are not supported by this build: " + path;
    return false;
}

}  // namespace printctl
