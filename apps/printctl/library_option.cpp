#include "library_option.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/encoding.h"
#include "engine/datastore.h"
#include "engine/library.h"
#include "export/saveas.h"
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

std::optional<std::string> readDefinition(const std::string& definition,
                                          const std::string& encoding, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(definition, ec)) {
        std::ifstream in(definition, std::ios::binary);
        std::ostringstream buf;
        buf << in.rdbuf();
        auto decoded = print::decodeTextFile(buf.str(), encoding);
        if (!decoded.ok()) {
            error = definition + ": " + decoded.error().describe();
            return std::nullopt;
        }
        return std::move(decoded).value();
    }
    auto found = print::engine::LibrarySearchList::application().find(definition);
    if (!found.ok()) {
        error = found.error().message;
        return std::nullopt;
    }
    if (!found.value()) {
        error =
            "'" + definition + "' is neither a file nor a definition on the library search list";
        return std::nullopt;
    }
    return *found.value();
}

bool openDefinition(print::engine::DataStore& report, const std::string& definition,
                    const std::string& encoding, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(definition, ec)) {
        std::ifstream in(definition, std::ios::binary);
        char start[16] = {};
        in.read(start, sizeof start);
        if (print::saveas::isReportFile(
                std::string_view(start, static_cast<size_t>(in.gcount())))) {
            print::Status opened = print::saveas::openReportFile(report, definition);
            if (!opened) error = opened.error().message;
            return opened.ok();
        }
    }
    auto text = readDefinition(definition, encoding, error);
    if (!text) return false;
    return report.Create(*text, error) == 1;
}

}  // namespace printctl
