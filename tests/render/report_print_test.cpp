// Printing a report: which pages its print properties select, how copies are laid into a PDF,
// and the print system's printers (a stand-in lp and lpstat on PATH record what they are asked).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "render/report_print.h"
#include "render_test_support.h"

namespace print::render {
namespace {

using test::runTool;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The page footers "第N页" of a PDF of the goods list, in the order of its pages.
std::string pageOrder(const std::string& pdf) {
    const std::string text = runTool("pdftotext '" + pdf + "' -");
    std::string order;
    for (size_t at = text.find("第"); at != std::string::npos; at = text.find("第", at + 1)) {
        const size_t end = text.find("页", at);
        if (!order.empty()) order += ",";
        order += text.substr(at + 3, end - at - 3);
    }
    return order;
}

class GoodsList : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_EQ(report.Create(readFile(RENDER_DATA_DIR "/goods_list.srd"), error), 1) << error;
        ASSERT_EQ(report.RowCount(), 40);
        ASSERT_EQ(layout::layoutOf(report).pageCount(), 5);
    }

    void modify(const std::string& statements) { ASSERT_EQ(report.Modify(statements), ""); }

    engine::DataStore report;
    test::TempDir dir;
};

TEST(PageSelection, RangesAndOddOrEvenPages) {
    const auto pages = [](std::string_view range, PageParity parity, long count) {
        auto selected = selectPages(range, parity, count);
        EXPECT_TRUE(selected.ok()) << range;
        return selected.ok() ? selected.value() : std::vector<long>{};
    };
    using V = std::vector<long>;
    EXPECT_EQ(pages("", PageParity::All, 4), (V{1, 2, 3, 4}));
    EXPECT_EQ(pages("1,3,5-10", PageParity::All, 12), (V{1, 3, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(pages("5-10", PageParity::Odd, 12), (V{5, 7, 9}));
    EXPECT_EQ(pages(" 2 , 4 - 5 ", PageParity::Even, 5), (V{2, 4}));
    EXPECT_EQ(pages("", PageParity::Even, 5), (V{2, 4}));
    // Each page once, in page order; pages past the end are not there to print.
    EXPECT_EQ(pages("3,1,3,2-3", PageParity::All, 5), (V{1, 2, 3}));
    EXPECT_EQ(pages("4-20", PageParity::All, 5), (V{4, 5}));
}

TEST(PageSelection, BadRangesAndEmptySelectionsAreErrors) {
    for (const char* range : {"abc", "1-", "-3", "0", "5-3", "1,,2", "1.5", "2-x", "1;3"}) {
        auto selected = selectPages(range, PageParity::All, 10);
        ASSERT_FALSE(selected.ok()) << range;
        EXPECT_EQ(selected.error().message,
                  "the page range \"" + std::string(range) +
                      "\" is not valid: give pages and ranges such as 1,3,5-10");
    }
    auto none = selectPages("7-9", PageParity::All, 5);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().message,
              "nothing to print: no page in the page range \"7-9\" (the report has 5 pages)");
    none = selectPages("", PageParity::Even, 1);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().message, "nothing to print: no even page (the report has 1 page)");
    none = selectPages("2,4", PageParity::Odd, 5);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().message,
              "nothing to print: no odd page in the page range \"2,4\" (the report has 5 pages)");
}

TEST(PageSelection, CopiesCollatedOrPageByPage) {
    using V = std::vector<long>;
    EXPECT_EQ(withCopies({1, 2, 3}, 2, true), (V{1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(withCopies({1, 2, 3}, 2, false), (V{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(withCopies({2}, 0, true), (V{2}));
}

TEST_F(GoodsList, PrintSettingsComeFromThePrintProperties) {
    PrintSettings settings = printSettingsOf(report);
    EXPECT_EQ(settings.copies, 1);
    EXPECT_TRUE(settings.collate);
    EXPECT_EQ(settings.pageRange, "");
    EXPECT_EQ(settings.parity, PageParity::All);
    EXPECT_EQ(settings.documentName, "商品清单");
    modify(
        "DataWindow.Print.Copies='3' DataWindow.Print.Collate=no "
        "DataWindow.Print.Page.Range='1,3-4' DataWindow.Print.Page.RangeInclude='2'");
    settings = printSettingsOf(report);
    EXPECT_EQ(settings.copies, 3);
    EXPECT_FALSE(settings.collate);
    EXPECT_EQ(settings.pageRange, "1,3-4");
    EXPECT_EQ(settings.parity, PageParity::Even);
    modify("DataWindow.Print.Copies='0'");
    EXPECT_EQ(printSettingsOf(report).copies, 1);
}

TEST_F(GoodsList, MoreCopiesThanTheSettingsPageAllowsAreRefusedNotPrintedOnce) {
    const std::string pdf = dir.file("many.pdf");
    modify("DataWindow.Print.Copies='999'");
    EXPECT_EQ(printSettingsOf(report).copies, 999);
    // Beyond the bound, and beyond what a number holds: refused, never one copy or a billion.
    const std::pair<const char*, const char*> cases[] = {
        {"1000", "1000"},
        {"1000000000", "1000000000"},
        {"99999999999999999999999", "9223372036854775807"}};
    for (const auto& [copies, read] : cases) {
        modify(std::string("DataWindow.Print.Copies='") + copies + "'");
        const Status printed = printReport(report, {pdf, ""});
        ASSERT_FALSE(printed.ok()) << copies;
        EXPECT_EQ(printed.error().message, std::string("the report asks for ") + read +
                                               " copies; at most 999 can be printed");
    }
    EXPECT_EQ(withCopies({1}, 1000000000LL, true).size(), 999u);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(GoodsList, APdfHoldsTheSelectedPagesForEveryCopy) {
    const std::string pdf = dir.file("goods.pdf");
    ASSERT_TRUE(printReport(report, {pdf, ""}).ok());
    EXPECT_EQ(pageOrder(pdf), "1,2,3,4,5");

    modify(
        "DataWindow.Print.Page.Range='2-5' DataWindow.Print.Page.RangeInclude='1' "
        "DataWindow.Print.Copies='2' DataWindow.Print.Collate=no");
    ASSERT_TRUE(printReport(report, {pdf, ""}).ok());
    EXPECT_EQ(pageOrder(pdf), "3,3,5,5");
    modify("DataWindow.Print.Collate=yes");
    ASSERT_TRUE(printReport(report, {pdf, ""}).ok());
    EXPECT_EQ(pageOrder(pdf), "3,5,3,5");
    const std::string info = runTool("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Title:           商品清单"), std::string::npos) << info;
    ASSERT_TRUE(printReport(report, {pdf, ""}, "盘点表").ok());
    EXPECT_NE(runTool("pdfinfo '" + pdf + "'").find("Title:           盘点表"), std::string::npos);

    // Nothing selected: an error, and the last PDF stays.
    const std::string before = readFile(pdf);
    modify("DataWindow.Print.Page.Range='9-12'");
    const Status status = printReport(report, {pdf, ""});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message,
              "nothing to print: no odd page in the page range \"9-12\" (the report has 5 pages)");
    EXPECT_EQ(readFile(pdf), before);

    // Stopped by the operator at the third page, while the pages before it are drawn: the
    // progress is asked on this thread, no later page is asked for, and the last PDF stays.
    modify(
        "DataWindow.Print.Page.Range='' DataWindow.Print.Page.RangeInclude='0' "
        "DataWindow.Print.Copies='1'");
    std::vector<long> told;
    bool elsewhere = false;
    PrintTarget stopping{pdf, ""};
    stopping.progress = [&, caller = std::this_thread::get_id()](long done, long total) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        told.push_back(done);
        EXPECT_EQ(total, 5);
        return done < 2;
    };
    const Status stopped = printReport(report, stopping);
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error().message, kPrintCancelled);
    EXPECT_EQ(told, (std::vector<long>{0, 1, 2}));
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(readFile(pdf), before);
}

// lp and lpstat stand-ins: lpstat knows the printer "Kitchen" only; lp records its arguments
// and the file it was given.
class Printers : public GoodsList {
protected:
    void SetUp() override {
        GoodsList::SetUp();
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        bin = dir.path() / "bin";
        std::filesystem::create_directories(bin);
        script("lpstat",
               "if [ \"$2\" = Kitchen ]; then echo 'printer Kitchen is idle.'; exit 0; fi\n"
               "echo \"lpstat: Invalid destination name in list \\\"$2\\\".\" >&2; exit 1\n");
        script("lp", "printf '%s\\n' \"$@\" > '" + dir.file("lp-args") + "'\n" +
                         "for last; do :; done; cp \"$last\" '" + dir.file("spooled.pdf") +
                         "'\necho 'request id is Kitchen-1 (1 file(s))'\n");
        setenv("PATH", (bin.string() + ":" + savedPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }

    void script(const std::string& name, const std::string& body) {
        const std::filesystem::path path = bin / name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::string savedPath;
    std::filesystem::path bin;
};

TEST_F(Printers, TheSelectedPagesGoToLpOnceWithTheCopiesAsked) {
    modify(
        "DataWindow.Print.Page.Range='2-5' DataWindow.Print.Page.RangeInclude='2' "
        "DataWindow.Print.Copies='3' DataWindow.Print.Collate=no");
    const Status status = printReport(report, {"", "Kitchen"});
    ASSERT_TRUE(status.ok()) << status.error().message;
    std::string args = readFile(dir.file("lp-args"));
    const size_t lastLine = args.rfind('\n', args.size() - 2) + 1;
    const std::string spool = args.substr(lastLine, args.size() - lastLine - 1);
    // On the report's own paper at its actual size.
    EXPECT_EQ(args.substr(0, lastLine),
              "-d\nKitchen\n-n\n3\n-t\n商品清单\n-o\ncollate=false\n-o\nprint-scaling=none\n-o\n"
              "media=A4\n");
    EXPECT_EQ(spool.rfind(std::filesystem::temp_directory_path().string() + "/print-", 0), 0u)
        << spool;
    EXPECT_EQ(pageOrder(dir.file("spooled.pdf")), "2,4");
    // The spool file is gone once lp has it.
    EXPECT_FALSE(std::filesystem::exists(spool));
}

TEST_F(Printers, UnknownPrintersAndRefusedJobsAreErrors) {
    Status status = printReport(report, {"", "Office"});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message, "the printer \"Office\" does not exist");
    EXPECT_FALSE(std::filesystem::exists(dir.file("lp-args")));

    script("lp", "echo 'lp: Unable to print file: Printer is not accepting jobs.' >&2; exit 1\n");
    status = printReport(report, {"", "Kitchen"});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message,
              "cannot print on the printer \"Kitchen\": lp: Unable to print file: Printer is not "
              "accepting jobs.");

    script("lpstat", "echo 'lpstat: Scheduler is not running.' >&2; exit 1\n");
    status = printReport(report, {"", "Kitchen"});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message,
              "cannot print on the printer \"Kitchen\": lpstat: Scheduler is not running.");

    setenv("PATH", dir.file("nowhere").c_str(), 1);
    status = printReport(report, {"", "Kitchen"});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message,
              "cannot print on the printer \"Kitchen\": the print system's commands lp and lpstat "
              "are not installed (Debian package cups-client)");
}

}  // namespace
}  // namespace print::render
