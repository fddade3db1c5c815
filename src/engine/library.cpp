#include "engine/library.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/encoding.h"
#include "common/text.h"

namespace print::engine {

void MemoryLibrary::put(std::string_view name, std::string text) {
    m_entries[asciiLower(name)] = std::move(text);
}

bool MemoryLibrary::remove(std::string_view name) { return m_entries.erase(asciiLower(name)) > 0; }

Result<std::optional<std::string>> MemoryLibrary::find(std::string_view name) const {
    auto it = m_entries.find(asciiLower(name));
    if (it == m_entries.end()) return std::optional<std::string>();
    return std::optional<std::string>(it->second);
}

FolderLibrary::FolderLibrary(std::string folder, std::string codePage)
    : m_folder(std::move(folder)), m_codePage(std::move(codePage)) {}

Result<std::optional<std::string>> FolderLibrary::find(std::string_view name) const {
    // A definition name is a plain identifier; anything else cannot name a file of ours.
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
            return std::optional<std::string>();
    if (name.empty()) return std::optional<std::string>();
    std::string lower = asciiLower(name);
    std::vector<std::string> candidates{std::string(name)};
    if (lower != name) candidates.push_back(lower);
    for (const std::string& candidate : candidates) {
        std::ifstream in(m_folder + "/" + candidate + ".srd", std::ios::binary);
        if (!in) continue;
        std::ostringstream buf;
        buf << in.rdbuf();
        if (in.bad()) return Error{"cannot read " + m_folder + "/" + candidate + ".srd"};
        auto text = decodeTextFile(buf.str(), m_codePage);
        if (!text.ok())
            return Error{m_folder + "/" + candidate + ".srd: " + text.error().describe()};
        return std::optional<std::string>(std::move(text).value());
    }
    return std::optional<std::string>();
}

LibrarySearchList& LibrarySearchList::application() {
    static LibrarySearchList list;
    return list;
}

Result<std::optional<std::string>> LibrarySearchList::find(std::string_view name) const {
    if (m_builtIn) {
        auto r = m_builtIn->find(name);
        if (r.ok() && r.value()) return r;
    }
    for (const auto& lib : m_libraries) {
        // A library that cannot be read might hold the name and shadow the ones after it, so
        // answering from a later library could load the wrong definition.
        auto r = lib->find(name);
        if (!r.ok() || r.value()) return r;
    }
    return std::optional<std::string>();
}

std::string LibrarySearchList::pathList() const {
    std::string out;
    for (const auto& lib : m_libraries) {
        if (!out.empty()) out += ",";
        out += lib->path();
    }
    return out;
}

}  // namespace print::engine
