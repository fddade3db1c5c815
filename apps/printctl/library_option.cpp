#include "library_option.h"

#include <memory>

#include "engine/library.h"
#ifdef PRINTCTL_HAS_DB
#include "db/library_file.h"
#endif

namespace printctl {

bool addLibraryFile(const std::string& path, std::string& error) {
#ifdef PRINTCTL_HAS_DB
    // Open it once now so that a missing or damaged file is reported before any command runs.
    auto opened = print::db::LibraryFile::open(path);
    if (!opened.ok()) {
        error = opened.error().message;
        return false;
    }
    print::engine::LibrarySearchList::application().append(
        std::make_shared<print::db::LibraryFileDefinitions>(path));
    return true;
#else
    error = "library files are not supported by this build: " + path;
    return false;
#endif
}

}  // namespace printctl
