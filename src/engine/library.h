// The library search list: where a report definition is found by its name.
//
// One search list per application. The component's compiled-in definitions come first, then
// the libraries in the order given. Names are not case sensitive. Library files are implemented
// by the database layer; this layer provides folders of `.srd` files and in-memory libraries.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace print::engine {

class DefinitionLibrary {
public:
    virtual ~DefinitionLibrary() = default;
    // The path the library was opened from, as GetLibraryList shows it.
    virtual std::string path() const = 0;
    // The definition text stored under `name`; nullopt when there is none; an Error when the
    // library cannot be read.
    virtual Result<std::optional<std::string>> find(std::string_view name) const = 0;
};

// Definitions held in memory (compiled-in definitions, tests).
class MemoryLibrary : public DefinitionLibrary {
public:
    explicit MemoryLibrary(std::string path = "(memory)") : m_path(std::move(path)) {}
    void put(std::string_view name, std::string text);
    bool remove(std::string_view name);
    std::string path() const override { return m_path; }
    Result<std::optional<std::string>> find(std::string_view name) const override;

private:
    std::string m_path;
    std::map<std::string, std::string> m_entries;  // lower-cased name -> text
};

// A folder of definition files: `NAME.srd` holds the definition NAME (in the code page given,
// or else as decodeTextFile reads a file of no code page given). Header lines of exported files
// and a byte-order mark are dropped by the parser.
class FolderLibrary : public DefinitionLibrary {
public:
    explicit FolderLibrary(std::string folder, std::string codePage = "");
    std::string path() const override { return m_folder; }
    Result<std::optional<std::string>> find(std::string_view name) const override;

private:
    std::string m_folder;
    std::string m_codePage;
};

class LibrarySearchList {
public:
    // The application's list.
    static LibrarySearchList& application();

    void setBuiltIn(std::shared_ptr<DefinitionLibrary> builtIn) { m_builtIn = std::move(builtIn); }
    void setLibraries(std::vector<std::shared_ptr<DefinitionLibrary>> libraries) {
        m_libraries = std::move(libraries);
    }
    void append(std::shared_ptr<DefinitionLibrary> library) {
        m_libraries.push_back(std::move(library));
    }
    const std::vector<std::shared_ptr<DefinitionLibrary>>& libraries() const { return m_libraries; }

    // Searches the compiled-in definitions, then each library in order. A library that cannot
    // be read ends the search with its Error when no library before it held the name.
    Result<std::optional<std::string>> find(std::string_view name) const;
    // Comma-separated paths of the libraries (not the compiled-in definitions).
    std::string pathList() const;

private:
    std::shared_ptr<DefinitionLibrary> m_builtIn;
    std::vector<std::shared_ptr<DefinitionLibrary>> m_libraries;
};

}  // namespace print::engine
