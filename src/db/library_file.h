// Library files: where report definitions live by name.
//
// A library file is one SQLite database holding one row per entry: the name (unique, not case
// sensitive), the kind ("datawindow"), the definition text (UTF-8), the modification time and a
// comment. Every write is one transaction: a process killed in the middle of an import leaves
// the old entry or the new one, never a torn file; the next program that may write the file
// undoes the half-done write before it reads. A file that is not a library (another SQLite
// database, a text file, a damaged file) is an error, never a crash.
//
// A library is created in place, in the transaction that gives it its first contents (SQLite's
// own locking keeps two creators apart), so that it works in folders without hard links (FAT,
// some network mounts) and leaves no temporary files. Until that transaction commits the file is
// empty; an empty file is no library yet, and the next create or import takes it over, so that
// one killed before its commit leaves nothing that stands in the way. (Earlier versions built a
// library under a temporary name; what one of them left when killed goes with the next write.)
//
// `LibraryFile` reports failures as Error values with a plain message:
//   "no library file at PATH"
//   "PATH is not a library file" (+ ": " and SQLite's reason where it has one)
//   "PATH is an empty file: no library was completed in it"
//   "PATH was left half-written by a program that stopped; recovering it needs write access to
//    the file and its folder"
//   "a file already exists at PATH"
//   "cannot create PATH: REASON"
//   "'NAME' is not a valid entry name"
//   "no entry NAME in PATH"
// or SQLite's message prefixed with the path. The platform functions below it return what the
// platform's functions return (1 / -1, "" on error) and drop the message, as the component
// expects.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"
#include "common/result.h"
#include "engine/library.h"

namespace print::db {

struct LibraryEntry {
    std::string name;
    std::string kind;
    DateTime modified;
    std::string comment;
};

class LibraryFile {
public:
    // Creates a new, empty library file. The library appears complete or not at all; an
    // existing file (library or not) is never overwritten, save an empty one.
    static Status create(const std::string& path, std::string_view comment = {});
    static Result<LibraryFile> open(const std::string& path);
    // Opens the library at `path`, or, when there is none (or an empty file), one that is
    // created with the first put: an import that is killed leaves no empty library behind.
    // Until then it reads as empty. Any number of processes may do this at once; each one's put
    // lands in the one library.
    static Result<LibraryFile> openOrCreate(const std::string& path);
    // Whether `path` is a file in which no library was completed (see libraryUnfinished).
    static bool unfinished(const std::string& path);

    LibraryFile(LibraryFile&&) noexcept;
    LibraryFile& operator=(LibraryFile&&) noexcept;
    ~LibraryFile();

    const std::string& path() const { return m_path; }
    Result<std::string> comment() const;
    // Entries ordered by name (not case sensitive).
    Result<std::vector<LibraryEntry>> entries() const;
    // The definition stored under `name`; nullopt when there is none.
    Result<std::optional<std::string>> definition(std::string_view name) const;
    // Stores `definition` under `name`, replacing an entry of that name in any letter case
    // (the entry then takes the new spelling); the modification time becomes now. The text is
    // stored as given: checking it is the caller's business.
    Status put(std::string_view name, std::string_view definition, std::string_view comment = {});
    // False when there was no such entry.
    Result<bool> remove(std::string_view name);

private:
    struct Handle;
    LibraryFile(std::string path, std::unique_ptr<Handle> handle);
    // Whether the library is still to be created (by this handle's first put or by another
    // process); true reads as an empty library.
    Result<bool> pending() const;

    std::string m_path;
    std::unique_ptr<Handle> m_handle;
};

// Entry names are the platform's object names: a letter or `_`, then letters, digits and
// `_ $ # % -`, at most 80 characters. Anything else could not be listed one entry a line.
bool isValidEntryName(std::string_view name);

// The platform's library functions.
bool fileExists(const std::string& path);
// Deletes any file; false when it could not.
bool fileDelete(const std::string& path);
// 1, or -1 when the file exists already (an empty one is taken over) or cannot be created.
int libraryCreate(const std::string& path, std::string_view comment = {});
// Whether `path` is a file in which no library was completed: empty, or left so by a create
// that stopped (its journal is played back first). A create takes such a file over.
bool libraryUnfinished(const std::string& path);
// `name<TAB>YYYY-MM-DD HH:MM:SS<TAB>comment` and a newline for each DataWindow entry, ordered
// by name; "" for an empty library and on error.
std::string libraryDirectory(const std::string& path);
// Checks `syntax` with the engine's parser, then stores it under `name` (replacing an entry of
// that name, modification time now). 1, or -1 with the reason in `errors` ("Line L Column C:
// ..." for a definition that does not parse).
int libraryImport(const std::string& path, std::string_view name, std::string_view syntax,
                  std::string& errors, std::string_view comment = {});
// The definition text, or "" on error.
std::string libraryExport(const std::string& path, std::string_view name);
// Deletes one entry: 1, or -1 when the library or the entry is missing.
int libraryDelete(const std::string& path, std::string_view name);
// Deletes the library file itself: 1, or -1 when the file is missing or is not a library.
int libraryDelete(const std::string& path);

// The application's library search list (engine::LibrarySearchList::application()) as the
// platform's comma-separated path list.
std::string getLibraryList();
// Replaces the libraries of the search list by those of `list` (comma-separated; blanks around
// the commas and empty items are dropped). A folder becomes a folder of `.srd` files, any other
// path a library file, opened at each search so that a file created or deleted later is seen.
// 1, or -1 when the list names no path at all.
int setLibraryList(std::string_view list);

// The search list's view of a library file.
class LibraryFileDefinitions : public engine::DefinitionLibrary {
public:
    explicit LibraryFileDefinitions(std::string path) : m_path(std::move(path)) {}
    std::string path() const override { return m_path; }
    Result<std::optional<std::string>> find(std::string_view name) const override;

private:
    std::string m_path;
};

}  // namespace print::db
