// Golden display lists: each definition in layout/ is laid out with the fixed font metrics and
// every page's display list is compared with NAME.golden beside it. PRINT_UPDATE_GOLDEN=1 writes
// the golden files afresh (read the differences before committing them).
//
// Also: every definition in the repository that loads lays out, page by page, without an error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/datastore.h"
#include "engine/library.h"
#include "layout/display_list.h"
#include "layout/report_layout.h"

namespace {

namespace fs = std::filesystem;
using print::engine::DataStore;
using print::layout::layoutOf;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

void useLibraries(const std::vector<fs::path>& folders) {
    std::vector<std::shared_ptr<print::engine::DefinitionLibrary>> libraries;
    for (const auto& f : folders)
        libraries.push_back(std::make_shared<print::engine::FolderLibrary>(f.string()));
    print::engine::LibrarySearchList::application().setLibraries(libraries);
}

std::string dumpAll(DataStore& report) {
    std::string out;
    long count = layoutOf(report).pageCount();
    for (long page = 1; page <= count; ++page) {
        auto list = layoutOf(report).displayList(page);
        if (!list.ok()) return out + "error: " + list.error().message + "\n";
        out += print::layout::dumpDisplayList(*list.value());
    }
    return out + "pages: " + std::to_string(count) + "\n";
}

std::vector<std::string> goldenDefinitions() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(LAYOUT_CASES_DIR))
        if (e.path().extension() == ".golden") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class LayoutGolden : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { useLibraries({LAYOUT_CASES_DIR}); }
};

TEST_P(LayoutGolden, DisplayListsMatch) {
    fs::path dir = LAYOUT_CASES_DIR;
    DataStore report;
    std::string error;
    ASSERT_EQ(report.Create(readFile(dir / (GetParam() + ".srd")), error), 1) << error;
    std::string actual = dumpAll(report);
    fs::path golden = dir / (GetParam() + ".golden");
    if (std::getenv("PRINT_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << actual;
        GTEST_SKIP() << "wrote " << golden;
    }
    EXPECT_EQ(actual, readFile(golden));
}

INSTANTIATE_TEST_SUITE_P(Definitions, LayoutGolden, testing::ValuesIn(goldenDefinitions()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST(LayoutRepository, EveryDefinitionThatLoadsLaysOut) {
    fs::path root = REPOSITORY_DIR;
    std::vector<fs::path> folders = {root / "src/report_defs/defs", root / "apps/demo_data/defs",
                                     root / "tests/engine/cases/defs", LAYOUT_CASES_DIR};
    useLibraries(folders);
    int laidOut = 0;
    for (const fs::path& folder : folders) {
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().extension() != ".srd") continue;
            SCOPED_TRACE(e.path().string());
            DataStore report;
            std::string error;
            // Some test definitions are wrong on purpose (a report nesting itself).
            if (report.Create(readFile(e.path()), error) != 1) continue;
            long count = layoutOf(report).pageCount();
            EXPECT_GE(count, 1);
            for (long page = 1; page <= std::min(count, 20L); ++page) {
                auto list = layoutOf(report).displayList(page);
                EXPECT_TRUE(list.ok()) << (list.ok() ? "" : list.error().message);
            }
            ++laidOut;
        }
    }
    EXPECT_GE(laidOut, 30);
}

}  // namespace
