#include "db/library_file.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>
#include "db/sqlite_handles.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "common/text.h"
#include "engine/syntax_check.h"

namespace print::db {
namespace {

// "PRLB": marks our files among other SQLite databases.
constexpr int kApplicationId = 0x50524C42;
constexpr int kFormatVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchemaSql =
    "PRAGMA application_id = 1347570754;"
    "PRAGMA user_version = 1;"
    "CREATE TABLE library (comment TEXT NOT NULL, created TEXT NOT NULL);"
    "CREATE TABLE entry ("
    "  name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,"
    "  kind TEXT NOT NULL,"
    "  definition TEXT NOT NULL,"
    "  modified TEXT NOT NULL,"
    "  comment TEXT NOT NULL);";

using detail::DbHandle;
using detail::StmtHandle;

std::string nowText() {
    DateTime now = DateTime::now();
    now.time = *Time::fromHms(now.time.hour(), now.time.minute(), now.time.second());
    return now.toString();
}

// A listing line must stay one line of three fields.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool hasJournal(const std::string& path) {
    struct stat info {};
    return ::stat((path + "-journal").c_str(), &info) == 0 && info.st_size > 0;
}

std::string emptyFileText(const std::string& path) {
    return path + " is an empty file: no library was completed in it";
}

// Why the file could not be read. A write that stopped halfway left a journal, and SQLite must
// play it back into the file before anything can be read; without write access it cannot.
Error readError(const std::string& path, sqlite3* db) {
    int code = sqlite3_extended_errcode(db);
    int primary = code & 0xff;
    if (code == SQLITE_READONLY_ROLLBACK ||
        ((primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_PERM) &&
         hasJournal(path)))
        return Error{path +
                     " was left half-written by a program that stopped; recovering it needs write "
                     "access to the file and its folder"};
    return Error{path + " is not a library file: " + sqlite3_errmsg(db)};
}

enum class FileState { Empty, Library };

// Earlier versions built a new library as PATH.tmpNNNNNN and linked it into place; one killed
// meanwhile left that file (and its journal) behind, beside the library or without it. Such a
// create took milliseconds, so one a minute old is abandoned. Every write of the library
// sweeps them.
void removeAbandonedTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path library(path);
    fs::path folder = library.has_parent_path() ? library.parent_path() : fs::path(".");
    std::string prefix = library.filename().string() + ".tmp";
    auto old = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view rest = std::string_view(name).substr(prefix.size());
        if (rest.size() > 8 && rest.substr(rest.size() - 8) == "-journal") rest.remove_suffix(8);
        if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        std::error_code timeError;
        auto when = fs::last_write_time(entry.path(), timeError);
        if (!timeError && when < old) fs::remove(entry.path(), timeError);
    }
}

}  // namespace

struct LibraryFile::Handle {
    DbHandle db;  // null while a library still to be created has no file
    bool pendingCreate = false;

    Error error(const std::string& path) const {
        return Error{path + ": " + sqlite3_errmsg(db.get())};
    }

    Result<StmtHandle> prepare(const std::string& path, const char* sql) const {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return error(path);
        }
        return StmtHandle(raw);
    }

    Status exec(const std::string& path, const char* sql) const {
        if (sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) return error(path);
        return {};
    }

    // One integer from a PRAGMA; reading the first page also plays back a journal left by a
    // write that stopped halfway.
    Result<int> pragma(const std::string& path, const char* sql) const {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db.get(), sql, -1, &raw, nullptr);
        StmtHandle st(raw);
        if (rc != SQLITE_OK || sqlite3_step(raw) != SQLITE_ROW) return readError(path, db.get());
        return sqlite3_column_int(raw, 0);
    }

    // An empty file, a library, or why it is neither.
    Result<FileState> inspect(const std::string& path) const {
        auto pages = pragma(path, "PRAGMA page_count");
        if (!pages) return pages.error();
        if (pages.value() == 0) return FileState::Empty;
        auto id = pragma(path, "PRAGMA application_id");
        if (!id) return id.error();
        if (id.value() != kApplicationId) {
            // A database without a single table holds nothing (inside a write transaction an
            // empty file has its first page already).
            auto tables = pragma(path, "SELECT count(*) FROM sqlite_master");
            if (!tables) return tables.error();
            if (id.value() == 0 && tables.value() == 0) return FileState::Empty;
            return Error{path + " is not a library file"};
        }
        // A damaged file can fail here too; only a version that was read says "later version".
        auto version = pragma(path, "PRAGMA user_version");
        if (!version) return version.error();
        if (version.value() > kFormatVersion)
            return Error{path + " is a library file of a later version"};
        return FileState::Library;
    }

    // The tables and the library's own row, inside the caller's transaction.
    Status makeLibrary(const std::string& path, std::string_view comment) const {
        if (Status s = exec(path, kSchemaSql); !s) return s;
        auto st = prepare(path, "INSERT INTO library (comment, created) VALUES (?1, ?2)");
        if (!st) return st.error();
        std::string c = oneLine(comment);
        std::string now = nowText();
        sqlite3_bind_text(st.value().get(), 1, c.data(), static_cast<int>(c.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(st.value().get(), 2, now.data(), static_cast<int>(now.size()),
                          SQLITE_TRANSIENT);
        if (sqlite3_step(st.value().get()) != SQLITE_DONE) return error(path);
        return {};
    }

    // Opens the file, creating it (empty) when `create` is set and it is missing.
    static Result<std::unique_ptr<Handle>> connect(const std::string& path, bool create) {
        sqlite3* raw = nullptr;
        int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
        if (rc != SQLITE_OK && !create) {
            sqlite3_close_v2(raw);
            raw = nullptr;
            rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        }
        DbHandle db(raw);
        if (rc != SQLITE_OK) {
            std::string text = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
            if (create) return Error{"cannot create " + path + ": " + text};
            return Error{path + " is not a library file: " + text};
        }
        sqlite3_extended_result_codes(db.get(), 1);
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        auto handle = std::make_unique<Handle>();
        handle->db = std::move(db);
        return handle;
    }
};

bool isValidEntryName(std::string_view name) {
    if (name.empty() || name.size() > 80) return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(name[0]) && name[0] != '_') return false;
    for (char c : name) {
        bool ok = letter(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#' ||
                  c == '%' || c == '-';
        if (!ok) return false;
    }
    return true;
}

LibraryFile::LibraryFile(std::string path, std::unique_ptr<Handle> handle)
    : m_path(std::move(path)), m_handle(std::move(handle)) {}
LibraryFile::LibraryFile(LibraryFile&&) noexcept = default;
LibraryFile& LibraryFile::operator=(LibraryFile&&) noexcept = default;
LibraryFile::~LibraryFile() = default;

Status LibraryFile::create(const std::string& path, std::string_view comment) {
    if (path.empty()) return Error{"no library file name given"};
    if (fileExists(path) && !isRegularFile(path)) return Error{"a file already exists at " + path};
    auto handle = Handle::connect(path, true);
    if (!handle) return handle.error();
    const Handle& h = *handle.value();
    // The write lock keeps other creators out until this one has committed; whoever comes next
    // finds a library there.
    if (sqlite3_exec(h.db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return Error{"cannot create " + path + ": " + sqlite3_errmsg(h.db.get())};
    auto state = h.inspect(path);
    Status made = !state || state.value() != FileState::Empty
                      ? Status(Error{"a file already exists at " + path})
                      : h.makeLibrary(path, comment);
    if (made) made = h.exec(path, "COMMIT");
    if (!made) {
        (void)h.exec(path, "ROLLBACK");
        return made;
    }
    removeAbandonedTemporaries(path);
    return made;
}

Result<LibraryFile> LibraryFile::open(const std::string& path) {
    if (!isRegularFile(path)) return Error{"no library file at " + path};
    auto handle = Handle::connect(path, false);
    if (!handle) return handle.error();
    auto state = handle.value()->inspect(path);
    if (!state) return state.error();
    if (state.value() == FileState::Empty) return Error{emptyFileText(path)};
    return LibraryFile(path, std::move(handle).value());
}

Result<LibraryFile> LibraryFile::openOrCreate(const std::string& path) {
    if (path.empty()) return Error{"no library file name given"};
    if (!fileExists(path)) {
        auto handle = std::make_unique<Handle>();
        handle->pendingCreate = true;
        return LibraryFile(path, std::move(handle));
    }
    if (!isRegularFile(path)) return Error{"no library file at " + path};
    auto handle = Handle::connect(path, false);
    if (!handle) return handle.error();
    auto state = handle.value()->inspect(path);
    if (!state) return state.error();
    handle.value()->pendingCreate = state.value() == FileState::Empty;
    return LibraryFile(path, std::move(handle).value());
}

bool LibraryFile::unfinished(const std::string& path) {
    if (!isRegularFile(path)) return false;
    auto handle = Handle::connect(path, false);
    if (!handle) return false;
    auto state = handle.value()->inspect(path);
    return state && state.value() == FileState::Empty;
}

Result<bool> LibraryFile::pending() const {
    if (!m_handle->pendingCreate) return false;
    if (!m_handle->db) {
        // Another process may have created it meanwhile.
        if (!isRegularFile(m_path)) return true;
        auto handle = Handle::connect(m_path, false);
        if (!handle) return handle.error();
        m_handle->db = std::move(handle.value()->db);
    }
    auto state = m_handle->inspect(m_path);
    if (!state) return state.error();
    m_handle->pendingCreate = state.value() == FileState::Empty;
    return m_handle->pendingCreate;
}

Result<std::string> LibraryFile::comment() const {
    auto empty = pending();
    if (!empty) return empty.error();
    if (empty.value()) return std::string();
    auto st = m_handle->prepare(m_path, "SELECT comment FROM library");
    if (!st) return st.error();
    int rc = sqlite3_step(st.value().get());
    if (rc == SQLITE_ROW) {
        auto* p = sqlite3_column_text(st.value().get(), 0);
        return std::string(p ? reinterpret_cast<const char*>(p) : "");
    }
    if (rc == SQLITE_DONE) return std::string();
    return m_handle->error(m_path);
}

Result<std::vector<LibraryEntry>> LibraryFile::entries() const {
    auto empty = pending();
    if (!empty) return empty.error();
    if (empty.value()) return std::vector<LibraryEntry>();
    auto st = m_handle->prepare(
        m_path, "SELECT name, kind, modified, comment FROM entry ORDER BY name COLLATE NOCASE");
    if (!st) return st.error();
    std::vector<LibraryEntry> out;
    int rc;
    while ((rc = sqlite3_step(st.value().get())) == SQLITE_ROW) {
        auto text = [&](int c) {
            auto* p = sqlite3_column_text(st.value().get(), c);
            return std::string(p ? reinterpret_cast<const char*>(p) : "");
        };
        LibraryEntry e;
        e.name = text(0);
        e.kind = text(1);
        auto when = DateTime::parse(text(2));
        if (!when) return Error{m_path + ": entry " + e.name + " has no valid modification time"};
        e.modified = *when;
        e.comment = text(3);
        out.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE) return m_handle->error(m_path);
    return out;
}

Result<std::optional<std::string>> LibraryFile::definition(std::string_view name) const {
    auto empty = pending();
    if (!empty) return empty.error();
    if (empty.value()) return std::optional<std::string>();
    auto st = m_handle->prepare(m_path, "SELECT definition FROM entry WHERE name = ?1");
    if (!st) return st.error();
    sqlite3_bind_text(st.value().get(), 1, name.data(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    int rc = sqlite3_step(st.value().get());
    if (rc == SQLITE_ROW) {
        auto* p = sqlite3_column_text(st.value().get(), 0);
        int n = sqlite3_column_bytes(st.value().get(), 0);
        return std::optional<std::string>(
            std::string(p ? reinterpret_cast<const char*>(p) : "", static_cast<size_t>(n)));
    }
    if (rc == SQLITE_DONE) return std::optional<std::string>();
    return m_handle->error(m_path);
}

Status LibraryFile::put(std::string_view name, std::string_view definition,
                        std::string_view comment) {
    if (!isValidEntryName(name))
        return Error{"'" + std::string(name) + "' is not a valid entry name"};
    if (m_handle->pendingCreate && !m_handle->db) {
        auto handle = Handle::connect(m_path, true);
        if (!handle) return handle.error();
        m_handle->db = std::move(handle.value()->db);
    }
    if (sqlite3_exec(m_handle->db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return hasJournal(m_path) ? readError(m_path, m_handle->db.get()) : m_handle->error(m_path);
    auto write = [&]() -> Status {
        if (m_handle->pendingCreate) {
            // Under the write lock: a library another process made meanwhile is used as it is.
            auto state = m_handle->inspect(m_path);
            if (!state) return state.error();
            if (state.value() == FileState::Empty)
                if (Status made = m_handle->makeLibrary(m_path, {}); !made) return made;
        }
        // Deleting first lets the entry take the new spelling of its name.
        auto del = m_handle->prepare(m_path, "DELETE FROM entry WHERE name = ?1");
        if (!del) return del.error();
        auto ins = m_handle->prepare(m_path,
                                     "INSERT INTO entry (name, kind, definition, modified, "
                                     "comment) VALUES (?1, 'datawindow', ?2, ?3, ?4)");
        if (!ins) return ins.error();
        std::string c = oneLine(comment);
        std::string now = nowText();
        sqlite3_stmt* d = del.value().get();
        sqlite3_stmt* i = ins.value().get();
        sqlite3_bind_text(d, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(i, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(i, 2, definition.data(), static_cast<int>(definition.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(i, 3, now.data(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(i, 4, c.data(), static_cast<int>(c.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(d) != SQLITE_DONE || sqlite3_step(i) != SQLITE_DONE)
            return m_handle->error(m_path);
        return {};
    };
    Status result = write();
    if (result) result = m_handle->exec(m_path, "COMMIT");
    if (!result) {
        (void)m_handle->exec(m_path, "ROLLBACK");
        return result;
    }
    m_handle->pendingCreate = false;
    removeAbandonedTemporaries(m_path);
    return result;
}

Result<bool> LibraryFile::remove(std::string_view name) {
    auto empty = pending();
    if (!empty) return empty.error();
    if (empty.value()) return false;
    auto st = m_handle->prepare(m_path, "DELETE FROM entry WHERE name = ?1");
    if (!st) return st.error();
    sqlite3_bind_text(st.value().get(), 1, name.data(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    if (sqlite3_step(st.value().get()) != SQLITE_DONE) return m_handle->error(m_path);
    return sqlite3_changes(m_handle->db.get()) > 0;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool fileDelete(const std::string& path) {
    return !path.empty() && isRegularFile(path) && std::remove(path.c_str()) == 0;
}

int libraryCreate(const std::string& path, std::string_view comment) {
    return LibraryFile::create(path, comment) ? 1 : -1;
}

bool libraryUnfinished(const std::string& path) {
    return LibraryFile::unfinished(path);
}

std::string libraryDirectory(const std::string& path) {
    auto lib = LibraryFile::open(path);
    if (!lib) return {};
    auto entries = lib.value().entries();
    if (!entries) return {};
    std::string out;
    for (const LibraryEntry& e : entries.value()) {
        if (e.kind != "datawindow") continue;
        out += e.name + '\t' + e.modified.toString() + '\t' + oneLine(e.comment) + '\n';
    }
    return out;
}

int libraryImport(const std::string& path, std::string_view name, std::string_view syntax,
                  std::string& errors, std::string_view comment) {
    errors.clear();
    if (!isValidEntryName(name)) {
        errors = "'" + std::string(name) + "' is not a valid entry name";
        return -1;
    }
    if (Status checked = engine::checkDefinitionText(syntax); !checked) {
        errors = checked.error().describe();
        return -1;
    }
    auto lib = LibraryFile::open(path);
    if (!lib) {
        errors = lib.error().message;
        return -1;
    }
    if (Status s = lib.value().put(name, syntax, comment); !s) {
        errors = s.error().message;
        return -1;
    }
    return 1;
}

std::string libraryExport(const std::string& path, std::string_view name) {
    auto lib = LibraryFile::open(path);
    if (!lib) return {};
    auto def = lib.value().definition(name);
    if (!def || !def.value()) return {};
    return *def.value();
}

int libraryDelete(const std::string& path, std::string_view name) {
    auto lib = LibraryFile::open(path);
    if (!lib) return -1;
    auto removed = lib.value().remove(name);
    return removed && removed.value() ? 1 : -1;
}

int libraryDelete(const std::string& path) {
    {
        auto lib = LibraryFile::open(path);
        if (!lib) return -1;
    }
    return std::remove(path.c_str()) == 0 ? 1 : -1;
}

std::string getLibraryList() {
    return engine::LibrarySearchList::application().pathList();
}

int setLibraryList(std::string_view list) {
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> libraries;
    for (const std::string& item : split(list, ',')) {
        std::string path = trim(item);
        if (path.empty()) continue;
        if (isDirectory(path))
            libraries.push_back(std::make_shared<engine::FolderLibrary>(path));
        else
            libraries.push_back(std::make_shared<LibraryFileDefinitions>(path));
    }
    if (libraries.empty()) return -1;
    engine::LibrarySearchList::application().setLibraries(std::move(libraries));
    return 1;
}

Result<std::optional<std::string>> LibraryFileDefinitions::find(std::string_view name) const {
    // A library deleted while on the list holds nothing, and so does one still being created;
    // only one that exists and cannot be read is an error (it would hide the libraries after
    // it).
    if (!fileExists(m_path)) return std::optional<std::string>();
    auto lib = LibraryFile::openOrCreate(m_path);
    if (!lib) return lib.error();
    return lib.value().definition(name);
}

}  // namespace print::db
