#include "db/library_file.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>
#include "db/sqlite_handles.h"

#include <cstdio>
#include <random>

#include "common/text.h"
#include "engine/syntax_check.h"

namespace print::db {
namespace {

// "PRLB": marks our files among other SQLite databases.
constexpr int kApplicationId = 0x50524C42;
constexpr int kFormatVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* const kCreateSql =
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

}  // namespace

struct LibraryFile::Handle {
    DbHandle db;

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
    if (fileExists(path)) return Error{"a file already exists at " + path};
    // Built under a temporary name and linked into place: a crash leaves no half-made library,
    // and link() refuses to replace a file that appeared meanwhile.
    std::random_device rd;
    std::string temp = path + ".tmp" + std::to_string(rd() % 1000000);
    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(temp.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
        DbHandle db(raw);
        if (rc != SQLITE_OK) {
            std::string text = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
            db.reset();
            std::remove(temp.c_str());
            return Error{"cannot create " + path + ": " + text};
        }
        Handle h{std::move(db)};
        std::string sql = std::string("BEGIN;") + kCreateSql + "COMMIT;";
        Status made = h.exec(path, sql.c_str());
        if (made) {
            auto st = h.prepare(path, "INSERT INTO library (comment, created) VALUES (?1, ?2)");
            if (!st) {
                made = st.error();
            } else {
                std::string c = oneLine(comment);
                std::string now = nowText();
                sqlite3_bind_text(st.value().get(), 1, c.data(), static_cast<int>(c.size()),
                                  SQLITE_TRANSIENT);
                sqlite3_bind_text(st.value().get(), 2, now.data(), static_cast<int>(now.size()),
                                  SQLITE_TRANSIENT);
                if (sqlite3_step(st.value().get()) != SQLITE_DONE) made = h.error(path);
            }
        }
        if (!made) {
            h.db.reset();
            std::remove(temp.c_str());
            return made;
        }
    }
    if (::link(temp.c_str(), path.c_str()) != 0) {
        std::string reason =
            fileExists(path) ? "a file already exists at " + path : "cannot create " + path;
        std::remove(temp.c_str());
        return Error{reason};
    }
    std::remove(temp.c_str());
    return {};
}

Result<LibraryFile> LibraryFile::open(const std::string& path) {
    if (!isRegularFile(path)) return Error{"no library file at " + path};
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(raw);
        raw = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    }
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        std::string text = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return Error{path + " is not a library file: " + text};
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    auto handle = std::make_unique<Handle>(Handle{std::move(db)});
    auto st = handle->prepare(path, "PRAGMA application_id");
    if (!st) return Error{path + " is not a library file: " + sqlite3_errmsg(handle->db.get())};
    rc = sqlite3_step(st.value().get());
    if (rc != SQLITE_ROW)
        return Error{path + " is not a library file: " + sqlite3_errmsg(handle->db.get())};
    if (sqlite3_column_int(st.value().get(), 0) != kApplicationId)
        return Error{path + " is not a library file"};
    st.value().reset();
    // A damaged file can fail here too; only a version that was read says "later version".
    auto version = handle->prepare(path, "PRAGMA user_version");
    if (!version || sqlite3_step(version.value().get()) != SQLITE_ROW)
        return Error{path + " is not a library file: " + sqlite3_errmsg(handle->db.get())};
    if (sqlite3_column_int(version.value().get(), 0) > kFormatVersion)
        return Error{path + " is a library file of a later version"};
    return LibraryFile(path, std::move(handle));
}

Result<std::string> LibraryFile::comment() const {
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
    if (Status s = m_handle->exec(m_path, "BEGIN IMMEDIATE"); !s) return s;
    auto write = [&]() -> Status {
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
    if (!result) (void)m_handle->exec(m_path, "ROLLBACK");
    return result;
}

Result<bool> LibraryFile::remove(std::string_view name) {
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
    // A library deleted while on the list holds nothing; only one that exists and cannot be
    // read is an error (it would hide the libraries after it).
    if (!fileExists(m_path)) return std::optional<std::string>();
    auto lib = LibraryFile::open(m_path);
    if (!lib) return lib.error();
    return lib.value().definition(name);
}

}  // namespace print::db
