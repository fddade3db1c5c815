// PDF files: real text that text extraction finds, embedded font subsets, the paper of each
// page, and writes that fail without touching what was there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "render/page_output.h"
#include "render_test_support.h"

namespace print::render {
namespace {

using layout::PageDisplayList;
using test::runTool;

std::shared_ptr<const PageDisplayList> shared(PageDisplayList page) {
    return std::make_shared<const PageDisplayList>(std::move(page));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PdfOutput, HoldsRealChineseTextInEmbeddedFontSubsets) {
    test::TempDir dir;
    const std::string pdf = dir.file("bill.pdf");
    const PagePainter painter;
    const PageSource source =
        test::sourceOf({shared(test::chineseBillPage(1, 2)), shared(test::chineseBillPage(2, 2))});
    ASSERT_TRUE(writePdf({1, 2}, source, pdf, {"采购订单 305"}, painter).ok());

    const std::string text = runTool("pdftotext -layout '" + pdf + "' -");
    for (const char* expected :
         {"采购订单", "供应商：上海华联食品有限公司", "康师傅红烧牛肉面", "农夫山泉天然水550ml",
          "718.80", "￥1,930.80", "合计金额（大写）：壹仟玖佰叁拾元捌角整", "第1页 共2页",
          "第2页 共2页", "制单人：张伟"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " not in:\n" << text;

    // Every font embedded as a subset that says so: its name begins with a tag of six capital
    // letters and '+'. The Song and Hei faces both used.
    const std::string fonts = runTool("pdffonts '" + pdf + "'");
    std::istringstream lines(fonts);
    std::string line;
    int fontLines = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("name", 0) == 0 || line.rfind("----", 0) == 0) continue;
        ++fontLines;
        EXPECT_NE(line.find(" yes yes yes "), std::string::npos) << line;  // emb sub uni
        EXPECT_EQ(line.find("Type 3"), std::string::npos) << line;
        EXPECT_EQ(line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 6u) << line;
        EXPECT_EQ(line[6], '+') << line;
    }
    EXPECT_GE(fontLines, 2) << fonts;
    EXPECT_NE(fonts.find("UMingCN"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("WenQuanYiMicroHei"), std::string::npos) << fonts;
    // The faces are megabytes; only the glyphs used travel.
    EXPECT_LT(std::filesystem::file_size(pdf), 200u * 1024) << "fonts are not subset";

    // The names were put in after Qt wrote the file: its structure must still hold.
    EXPECT_NE(runTool("qpdf --check '" + pdf + "'").find("No syntax or stream encoding errors"),
              std::string::npos);
    const std::string info = runTool("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Title:           采购订单 305"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
}

TEST(PdfOutput, EachPageHasItsOwnPaperAndOrientation) {
    test::TempDir dir;
    const std::string pdf = dir.file("papers.pdf");
    PageDisplayList landscape = test::a4Page(2);
    std::swap(landscape.paperWidth, landscape.paperHeight);
    PageDisplayList prc16k = test::a4Page(3);
    prc16k.paperWidth = 146 * 72 / 25.4;
    prc16k.paperHeight = 215 * 72 / 25.4;
    const PageSource source =
        test::sourceOf({shared(test::a4Page(1)), shared(landscape), shared(prc16k)});
    ASSERT_TRUE(writePdf({1, 2, 3}, source, pdf, {}, PagePainter()).ok());
    const std::string info = runTool("pdfinfo -f 1 -l 3 '" + pdf + "'");
    // Qt writes whole points; a landscape page is wide, not a rotated portrait one.
    EXPECT_NE(info.find("Page    1 size:  595 x 842 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 size:  842 x 595 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 rot:   0"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    3 size:  414 x 610 pts\n"), std::string::npos) << info;
}

TEST(PdfOutput, AFailedWriteLeavesTheEarlierFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string pdf = dir.file("bill.pdf");
    const PagePainter painter;
    ASSERT_TRUE(
        writePdf({1}, test::sourceOf({shared(test::chineseBillPage(1, 1))}), pdf, {}, painter)
            .ok());
    const std::string before = readFile(pdf);

    const PageSource source = test::sourceOf(
        {shared(test::chineseBillPage(1, 2)), shared(test::chineseBillPage(2, 2))});
    // A page the source cannot give is its error, word for word.
    const Status noPage = writePdf({1, 3}, source, pdf, {}, painter);
    ASSERT_FALSE(noPage.ok());
    EXPECT_EQ(noPage.error().message, "no page 3");
    EXPECT_EQ(readFile(pdf), before);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"bill.pdf"});
}

TEST(PdfOutput, WritingOverAFileKeepsItsPermissionsAndLinks) {
    test::TempDir dir;
    const PagePainter painter;
    const PageSource source = test::sourceOf({shared(test::a4Page(1))});
    for (const char* name : {"page.pdf", "page.png"}) {
        const std::string target = dir.file(name);
        const std::string link = dir.file(std::string("link-") + name);
        std::ofstream(target) << "old";
        std::filesystem::permissions(
            target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        std::filesystem::create_symlink(name, link);
        const Status written = std::string(name) == "page.pdf"
                                   ? writePdf({1}, source, link, {}, painter)
                                   : writePng(test::a4Page(1), link, 72, painter);
        ASSERT_TRUE(written.ok()) << name;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << name;
        EXPECT_NE(readFile(target), "old") << name;
        EXPECT_EQ(std::filesystem::status(target).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << name;
    }
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"link-page.pdf", "link-page.png", "page.pdf", "page.png"}));
}

TEST(PdfOutput, UnwritablePathsAreClearErrors) {
    test::TempDir dir;
    const PagePainter painter;
    const PageSource source = test::sourceOf({shared(test::a4Page(1))});
    const std::string missingDir = dir.file("no-such-dir") + "/out.pdf";
    Status status = writePdf({1}, source, missingDir, {}, painter);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message, "cannot write " + missingDir + ": the folder " +
                                          dir.file("no-such-dir") + " does not exist");
    status = writePdf({1}, source, dir.path().string(), {}, painter);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message, "cannot write " + dir.path().string() + ": it is a folder");
    status = writePng(test::a4Page(1), missingDir + ".png", 72, painter);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message, "cannot write " + missingDir + ".png: the folder " +
                                          dir.file("no-such-dir") + " does not exist");
    // A FIFO is not replaced by a plain file.
    ASSERT_EQ(::mkfifo(dir.file("pipe.pdf").c_str(), 0600), 0);
    status = writePdf({1}, source, dir.file("pipe.pdf"), {}, painter);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message,
              "cannot write " + dir.file("pipe.pdf") + ": it is not a regular file");
    std::filesystem::remove(dir.file("pipe.pdf"));
    status = writePdf({}, source, dir.file("empty.pdf"), {}, painter);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message, "no page to write into " + dir.file("empty.pdf"));
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

// Pages are laid out on the caller's thread, in order, each once, while they are drawn on
// another; a page that fails or throws ends the writing there, and nothing is left behind.
TEST(PdfOutput, PagesAreLaidOutOnTheCallersThreadAndAFailureStopsTheRest) {
    test::TempDir dir;
    const PagePainter painter;
    constexpr long kPages = 40;  // many more than wait to be drawn
    std::vector<std::shared_ptr<const PageDisplayList>> lists;
    for (long p = 1; p <= kPages; ++p) lists.push_back(shared(test::chineseBillPage(p, kPages)));
    const PageSource all = test::sourceOf(lists);
    std::vector<long> asked;
    bool elsewhere = false;
    const auto caller = std::this_thread::get_id();
    long failAt = 0, throwAt = 0;
    const PageSource source = [&](long page) -> Result<std::shared_ptr<const PageDisplayList>> {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        asked.push_back(page);
        if (page == failAt) return Error{"page " + std::to_string(page) + " failed"};
        if (page == throwAt) throw std::runtime_error("thrown");
        return all(page);
    };
    std::vector<long> pages(kPages);
    std::iota(pages.begin(), pages.end(), 1);

    const std::string pdf = dir.file("list.pdf");
    ASSERT_TRUE(writePdf(pages, source, pdf, {}, painter).ok());
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(asked, pages);
    EXPECT_NE(runTool("pdfinfo '" + pdf + "'").find("Pages:           40"), std::string::npos);
    const std::string last = runTool("pdftotext -f 40 -l 40 '" + pdf + "' -");
    EXPECT_NE(last.find("第40页 共40页"), std::string::npos) << last;

    const std::string before = readFile(pdf);
    asked.clear();
    failAt = 20;
    const Status failed = writePdf(pages, source, pdf, {}, painter);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().message, "page 20 failed");
    EXPECT_EQ(asked.size(), 20u);

    asked.clear();
    failAt = 0;
    throwAt = 10;
    EXPECT_THROW((void)writePdf(pages, source, pdf, {}, painter), std::runtime_error);
    EXPECT_EQ(asked.size(), 10u);
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(readFile(pdf), before);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"list.pdf"});
}

}  // namespace
}  // namespace print::render
