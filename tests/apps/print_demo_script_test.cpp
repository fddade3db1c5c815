// The print window on its real Qt widgets, as an operator uses it: print-demo plays operator
// scripts as real mouse and key events on the offscreen platform, on a screen of 1366x768.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The answers of a script's describe/show/focus lines, without their "." lines.
std::vector<std::string> answers(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line != ".") lines.push_back(line);
    return lines;
}

class PrintDemoScript : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("print_demo_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(m_dir);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // Plays `script` on the print window of `document` ("--report" or "--bill ID").
    Outcome play(const std::string& document, const std::string& script) {
        const std::string scriptPath = path("script.txt");
        std::ofstream(scriptPath) << script;
        const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + m_dir.string() +
                                " QT_QPA_PLATFORM=offscreen:configfile=" SCREEN_CONFIG
                                " " PRINT_DEMO_PATH " --db sqlite:" +
                                path("demo.db") + " --lib " + path("demo.plib") + " " + document +
                                " --script " + scriptPath + " </dev/null >" + path("out.txt") +
                                " 2>" + path("err.txt");
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(path("out.txt")),
                slurp(path("err.txt"))};
    }

    fs::path m_dir;
};

TEST_F(PrintDemoScript, TabGoesAlongTheToolbarThenIntoAndOutOfTheShownPage) {
    std::string script =
        "focus\nkey tab\nfocus\nkey tab\nfocus\nkey tab\nfocus\n"
        "key tab shift\nkey tab shift\nfocus\nkey tab shift\nfocus\n"
        "click uob_preview\nfocus\n";
    for (int i = 0; i < 40; ++i) script += "key tab\nfocus\n";
    const Outcome run = play("--bill 305", script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> focus = answers(run.out);
    ASSERT_EQ(focus.size(), 47u) << run.out;
    EXPECT_EQ(focus[0], "dw_preview");  // where the window puts the keys
    EXPECT_EQ(focus[1], "dw_zoom zoom");
    EXPECT_EQ(focus[2], "cbx_rulers");
    EXPECT_EQ(focus[3], "uob_first");
    EXPECT_EQ(focus[4], "dw_zoom zoom");
    EXPECT_EQ(focus[5], "dw_preview");  // round from the first stop to the last

    // Settings: the toolbar left to right, the template list, the tab bar, then the cells of
    // the printer form one after the other, then on out of the form.
    const std::vector<std::string> settings(focus.begin() + 6, focus.end());
    EXPECT_EQ(settings[0], "uob_new");
    EXPECT_EQ(settings[1], "uob_save");
    EXPECT_EQ(settings[2], "uob_preview");
    EXPECT_EQ(settings[3], "uob_print");
    const auto list = std::find(settings.begin(), settings.end(), "dw_template");
    ASSERT_NE(list, settings.end()) << run.out;
    EXPECT_EQ(*(list - 1), "uob_exit");
    ASSERT_EQ(*(list + 1), "tab_setup");
    auto cell = list + 2;
    std::vector<std::string> cells;
    for (; cell != settings.end() && cell->rfind("dw_set ", 0) == 0; ++cell) cells.push_back(*cell);
    ASSERT_GE(cells.size(), 3u) << run.out;
    EXPECT_NE(cells[0], cells[1]);
    ASSERT_NE(cell, settings.end()) << run.out;
    EXPECT_EQ(cell->find("dw_set"), std::string::npos) << *cell;
}

TEST_F(PrintDemoScript, KeysTurnPagesAndPressTheFocusedButton) {
    const Outcome run = play("--report",
                             "key pagedown\nshow dw_preview\n"
                             "key end ctrl\nshow dw_preview\n"
                             "key pageup\nshow dw_preview\n"
                             "key home ctrl\nshow dw_preview\n"
                             // Tab to 下一页: Enter and Space press it.
                             "key tab\nkey tab\nkey tab\nkey tab\nkey tab\nfocus\n"
                             "key enter\nshow dw_preview\nkey space\nshow dw_preview\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = answers(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;
    auto page = [](const std::string& show) {
        const size_t at = show.find("page=");
        return show.substr(at + 5, show.find(' ', at) - at - 5);
    };
    const std::string last = page(lines[1]).substr(0, page(lines[1]).find('/'));
    EXPECT_EQ(page(lines[0]), "2/" + last);
    EXPECT_EQ(page(lines[1]), last + "/" + last);
    EXPECT_EQ(page(lines[2]), std::to_string(std::stol(last) - 1) + "/" + last);
    EXPECT_EQ(page(lines[3]), "1/" + last);
    EXPECT_EQ(lines[4], "uob_next");
    EXPECT_EQ(page(lines[5]), "2/" + last);
    EXPECT_EQ(page(lines[6]), "3/" + last);
}

// The pages of a PDF file as pdfinfo counts them, -1 when it cannot tell.
long pdfPages(const std::string& pdf, const std::string& scratch) {
    if (std::system(("pdfinfo " + pdf + " > " + scratch).c_str()) != 0) return -1;
    const std::string info = slurp(scratch);
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stol(info.substr(at + 6));
}

// The page count a show line of a report control gives ("page=1/7" -> 7).
long shownPages(const std::string& show) {
    const size_t at = show.find("page=");
    if (at == std::string::npos) return -1;
    return std::stol(show.substr(show.find('/', at) + 1));
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(PrintDemoScript, OneClickOneJobAndThePdfFilterWritesThePages) {
    const std::string printed = path("printed.pdf"), exported = path("export.pdf");
    const Outcome run = play("--bill 305", "modify dw_preview DataWindow.Printer='" + printed +
                                               "'\n"
                                               "doubleclick uob_print\n"
                                               "key p ctrl\n"
                                               "filename " +
                                               exported +
                                               "\nclick uob_saveas\n"
                                               "show dw_preview\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A double click is one job; Ctrl+P another.
    EXPECT_EQ(count(run.err, "print: 采购订单 -> 1\n"), 2u) << run.err;
    EXPECT_EQ(slurp(printed).substr(0, 5), "%PDF-");
    EXPECT_NE(run.err.find("message: 提示 | 文档已成功保存为文件 " + exported + " 。"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(slurp(exported).substr(0, 5), "%PDF-");
    // Every page of the report, as the preview counts them.
    EXPECT_EQ(pdfPages(exported, path("info.txt")), shownPages(run.out)) << run.out;
}

TEST_F(PrintDemoScript, TypedNumbersArriveAndWhatAnEditorHoldsIsPrinted) {
    const std::string printed = path("printed.pdf");
    const Outcome run = play("--bill 305", "modify dw_preview DataWindow.Printer='" + printed +
                                               "'\n"
                                               "click uob_preview\n"
                                               // Digits typed into a number field and a width cell.
                                               "set tabpage_setup.dw_set 1 copies 2\n"
                                               "click tab_setup.tabpage_column\n"
                                               "set tabpage_column.dw_column 4 width 700\n"
                                               "click tab_setup.tabpage_setup\n"
                                               // Back into the copies and one up with the arrow
                                               // key: the editor holds 3 when 打印 is clicked.
                                               "set tabpage_setup.dw_set 1 copies 2\n"
                                               "key tab shift\nfocus\nkey up\n"
                                               "click uob_print\n"
                                               "click uob_preview\n"
                                               "describe dw_preview DataWindow.Print.Copies\n"
                                               "describe dw_preview.dw_report goodsname.width\n"
                                               "show dw_preview\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = answers(run.out);
    // The modify line answers an empty line first.
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[1], "dw_set copies");
    EXPECT_EQ(lines[2], "3");
    EXPECT_EQ(lines[3], "700");
    // Three copies of every page on the printer.
    EXPECT_EQ(pdfPages(printed, path("info.txt")), 3 * shownPages(lines[4]));
}

TEST_F(PrintDemoScript, AnXlsOfTheSalesReportSaysWhyItCannotBeSaved) {
    const Outcome run = play("--report", "filename " + path("sales.xls") + "\nclick uob_saveas\n");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("message: 提示 | 文档保存失败！\\nExcel 97-2003 文件 (*.xls) 最多容纳 "
                           "65,536 行，这份报表连标题共 100,001 行；Excel 工作簿 (*.xlsx) "
                           "能容纳整份报表。 | StopSign!"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(path("sales.xls")));
}

TEST_F(PrintDemoScript, MovedObjectsAreNotThrownAwayWithoutAQuestion) {
    const Outcome run = play("--bill 305",
                             "mouse down @st_repname\nmouse move @st_repname 40 0\n"
                             "mouse up @st_repname 40 0\n"
                             "answer 3\nkey escape\nshow uob_exit\n"
                             "answer 3\nclick uob_exit\nshow uob_exit\n"
                             "answer 2\nclick uob_exit\nshow uob_exit\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Cancel stayed twice; No closed the window before the last line.
    EXPECT_EQ(count(run.out, "text=关 闭"), 2u) << run.out;
    const std::string question = "message: 提示 | 当前模板已修改，是否保存？ | Question! | "
                                 "YesNoCancel! -> ";
    EXPECT_EQ(count(run.err, question + "3\n"), 2u) << run.err;
    EXPECT_EQ(count(run.err, question + "2\n"), 1u) << run.err;
}

}  // namespace
