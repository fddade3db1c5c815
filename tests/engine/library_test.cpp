#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/library.h"

using namespace print::engine;
namespace fs = std::filesystem;

namespace {

// A library that cannot be read, as a damaged library file would be.
class BrokenLibrary : public DefinitionLibrary {
public:
    std::string path() const override { return "/broken.plib"; }
    print::Result<std::optional<std::string>> find(std::string_view) const override {
        return print::Error{"/broken.plib is not a library file"};
    }
};

}  // namespace

TEST(LibrarySearchList, CompiledInDefinitionsComeFirstThenLibrariesInOrder) {
    LibrarySearchList list;
    auto builtIn = std::make_shared<MemoryLibrary>("(component)");
    builtIn->put("d_print", "built-in");
    auto first = std::make_shared<MemoryLibrary>("/a.plib");
    first->put("D_PRINT", "from a");
    first->put("d_report", "report from a");
    auto second = std::make_shared<MemoryLibrary>("/b.plib");
    second->put("d_report", "report from b");
    second->put("d_only_b", "only b");
    list.setBuiltIn(builtIn);
    list.setLibraries({first, second});
    EXPECT_EQ(*list.find("D_Print").value(), "built-in");
    EXPECT_EQ(*list.find("d_report").value(), "report from a");
    EXPECT_EQ(*list.find("d_only_b").value(), "only b");
    EXPECT_FALSE(list.find("d_none").value());
    EXPECT_EQ(list.pathList(), "/a.plib,/b.plib");

    // A broken library is reported only when no library before it had the name.
    list.setLibraries({first, std::make_shared<BrokenLibrary>(), second});
    EXPECT_EQ(*list.find("d_report").value(), "report from a");
    auto missing = list.find("d_only_b");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "/broken.plib is not a library file");
}

TEST(FolderLibrary, FindsNameDotSrdAndNothingOutsideTheFolder) {
    fs::path dir = fs::temp_directory_path() / "print_folder_library_test";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "d_bill.srd") << "release 9;";
    std::ofstream(dir / "sub" / "d_hidden.srd") << "hidden";
    std::ofstream(dir / "d_gbk.srd", std::ios::binary) << "\xb4\xf2\xd3\xa1";  // 打印 in GBK
    FolderLibrary lib(dir.string());
    EXPECT_EQ(*lib.find("d_bill").value(), "release 9;");
    EXPECT_EQ(*lib.find("D_BILL").value(), "release 9;");
    EXPECT_FALSE(lib.find("sub/d_hidden").value());
    EXPECT_FALSE(lib.find("../print_folder_library_test/d_bill").value());
    EXPECT_FALSE(lib.find("").value());
    // A file that is not UTF-8 and has no byte-order mark was written on Chinese Windows: it is
    // read in the application code page, unless a code page is given.
    EXPECT_EQ(*lib.find("d_gbk").value(), "打印");
    EXPECT_FALSE(FolderLibrary(dir.string(), "UTF-8").find("d_gbk").ok());
    FolderLibrary gbk(dir.string(), "GBK");
    EXPECT_EQ(*gbk.find("d_gbk").value(), "打印");
    std::ofstream(dir / "d_marked.srd", std::ios::binary) << "\xEF\xBB\xBF\xb4\xf2\xd3\xa1";
    auto marked = lib.find("d_marked");  // the mark says UTF-8: the bytes are wrong, not the page
    ASSERT_FALSE(marked.ok());
    EXPECT_EQ(marked.error().message, (dir / "d_marked.srd").string() +
                                          ": Line 1 Column 2: the bytes are not valid UTF-8 text");
    // Text not valid in its code page is reported by line and column, as definition errors are.
    std::ofstream(dir / "d_bad.srd", std::ios::binary)
        << "release 9;\r\ndatawindow(x=\"\xb4\xf2\xd3\xa1\" y=\"\xff\" )";
    auto badUtf8 = lib.find("d_bad");
    ASSERT_FALSE(badUtf8.ok());
    EXPECT_EQ(badUtf8.error().message,
              (dir / "d_bad.srd").string() + ": Line 2 Column 15: the bytes are not valid UTF-8 text");
    auto badGbk = gbk.find("d_bad");
    ASSERT_FALSE(badGbk.ok());
    EXPECT_EQ(badGbk.error().message,
              (dir / "d_bad.srd").string() + ": Line 2 Column 22: the bytes are not valid GBK text");
    fs::remove_all(dir);
}
