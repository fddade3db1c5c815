// Puts a library file on the application's library search list, for the commands that take
// `--lib FILE`. Without the database layer library files cannot be read and this says so.
#pragma once

#include <string>

namespace printctl {

// True when the library was added; otherwise `error` says why.
bool addLibraryFile(const std::string& path, std::string& error);

}  // namespace printctl
