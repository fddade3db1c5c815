// Runs the text-file engine cases in cases/*.test through the engine shell.
//
// A file holds cases separated by a line "====". A case is a definition (inline, or "@NAME.srd"
// naming a file in cases/defs), a line "----", the shell commands, a line "----", and the
// expected output. Lines starting with "#" before the definition are comments. A definition that
// does not load gives "error: <message>" as the whole output. cases/defs is on the library
// search list, so nested reports and drop-down lists find their definitions there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dw_shell.h"
#include "engine/datastore.h"
#include "engine/library.h"

namespace {

namespace fs = std::filesystem;
using print::engine::DataStore;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

struct Case {
    int line = 0;
    std::string definition;
    std::vector<std::string> commands;
    std::string expected;
};

std::vector<Case> parseCases(const std::string& text) {
    std::vector<Case> cases;
    Case current;
    int section = 0;
    int lineNo = 0;
    auto flush = [&] {
        if (section == 2) cases.push_back(current);
        current = Case{};
        section = 0;
    };
    for (const std::string& line : lines(text)) {
        ++lineNo;
        if (line == "====") {
            flush();
            continue;
        }
        if (line == "----" && section < 2) {
            ++section;
            continue;
        }
        if (section == 0) {
            if (current.definition.empty() && (line.empty() || line[0] == '#')) continue;
            if (current.line == 0) current.line = lineNo;
            current.definition += line + "\n";
        } else if (section == 1) {
            current.commands.push_back(line);
        } else {
            current.expected += line + "\n";
        }
    }
    flush();
    return cases;
}

std::string runCase(const Case& c) {
    std::string definition = c.definition;
    if (definition.starts_with("@")) {
        std::string name = definition.substr(1);
        while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
        definition = readFile(fs::path(ENGINE_CASES_DIR) / "defs" / name);
    }
    DataStore report;
    std::string error;
    if (report.Create(definition, error) != 1) return "error: " + error + "\n";
    printctl::DwShell shell(report);
    std::ostringstream out;
    for (const auto& command : c.commands)
        if (!shell.run(command, out)) break;
    return out.str();
}

class EngineCases : public testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        print::engine::LibrarySearchList::application().setLibraries(
            {std::make_shared<print::engine::FolderLibrary>(
                (fs::path(ENGINE_CASES_DIR) / "defs").string())});
    }
};

TEST_P(EngineCases, OutputMatches) {
    fs::path file = fs::path(ENGINE_CASES_DIR) / GetParam();
    auto cases = parseCases(readFile(file));
    ASSERT_FALSE(cases.empty()) << "no cases in " << file;
    for (const auto& c : cases) {
        SCOPED_TRACE(GetParam() + ":" + std::to_string(c.line));
        EXPECT_EQ(runCase(c), c.expected);
    }
}

std::vector<std::string> caseFiles() {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(ENGINE_CASES_DIR))
        if (e.path().extension() == ".test") files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Files, EngineCases, testing::ValuesIn(caseFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 5);
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
