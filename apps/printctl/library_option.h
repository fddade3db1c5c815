// Puts a library file on the application's library search list, for the commands that take
// `--lib FILE`. Without the database layer library files cannot be read and this says so.
#pragma once

#include <optional>
#include <string>

namespace print::engine {
class DataStore;
}

namespace printctl {

// True when the library was added; otherwise `error` says why.
bool addLibraryFile(const std::string& path, std::string& error);

// The text of the DEFINITION argument of a command: a definition file (in code page
// `encoding`), or else a name on the library search list. nullopt with `error` set when it is
// neither, or cannot be read.
std::optional<std::string> readDefinition(const std::string& definition,
                                          const std::string& encoding, std::string& error);

// Opens the DEFINITION argument into `report`: a report file written by a save as report file
// (its definitions and rows), a definition file, or a name on the library search list. False
// with `error` set when it is none of these or does not load.
bool openDefinition(print::engine::DataStore& report, const std::string& definition,
                    const std::string& encoding, std::string& error);

}  // namespace printctl
