// printctl print and printctl templates as operators and administrators run them, on both back
// ends: whole print requests played from scripts, several processes at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "db/schema.h"
#include "db_test_support.h"
#include "support/pdf_pages.h"

namespace print::db::test {
namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* const kReport = R"srd(release 9;
datawindow(units=0 processing=1 print.documentname="商品清单" )
header(height=76 )
summary(height=0 )
footer(height=0 )
detail(height=72 )
table(column=(type=char(40) name=goodsname dbname="goodsname" )
 column=(type=decimal(2) name=amount dbname="amount" ) )
data("可口可乐" 60.00 "O'Brien 饼干" 80.00 )
text(band=header text="商品名称" x="9" y="8" height="60" width="600" name=goodsname_t )
column(band=detail id=1 x="9" y="4" height="60" width="600" name=goodsname )
column(band=detail id=2 x="620" y="4" height="60" width="300" format="#,##0.00" name=amount )
)srd";

class PrintctlPrint : public DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        auto created = initSchema(sqlca);
        ASSERT_TRUE(created.ok()) << created.error().describe();
        ASSERT_EQ(sqlca.commit(), 0);
        std::ofstream(tempPath("report.srd")) << kReport;
    }

    // Runs printctl; `tag` names its output files so that runs at once do not clash.
    // `environment` goes before the command ("NAME=value ").
    Outcome printctl(const std::string& args, const std::string& tag = "run",
                     const std::string& environment = "") {
        const std::string out = tempPath(tag + ".out");
        const std::string err = tempPath(tag + ".err");
        const std::string cmd = environment + std::string(PRINTCTL_PATH) + " " + args +
                                " </dev/null >" + out + " 2>" + err;
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    }

    std::string script(const std::string& name, const std::string& text) {
        const std::string path = tempPath(name);
        std::ofstream(path) << text;
        return path;
    }

    std::string printArgs(const std::string& oper, const std::string& scriptPath) {
        return "print --db '" + url() + "' --lib " + tempPath(oper + ".plib") + " --operator " +
               oper + " --report " + tempPath("report.srd") +
               " --docname '商品清单,月结' --script " + scriptPath;
    }

    std::string column(const std::string& sql) {
        std::string out;
        sqlca.query(sql, {}, [&](const std::vector<Value>& r) {
            out += (out.empty() ? "" : ",") + (r[0].isNull() ? std::string("null") : r[0].toText());
            return true;
        });
        return out;
    }
};

TEST_P(PrintctlPrint, AScriptSavesATemplateThatTemplatesListsExportsAndRemoves) {
    const std::string save = script("save.txt",
                                    "# save the new layout as the document's default\n"
                                    "click uob_preview\n"
                                    "click uob_save\n"
                                    "type sle_name 月结模板\n"
                                    "check cbx_default on\n"
                                    "click uob_ok\n"
                                    "describe dw_preview st_repname.text\n");
    Outcome r = printctl(printArgs("A", save));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "商品清单\n.\n");
    EXPECT_EQ(r.err, "message: 提示 | 打印模板保存成功！ | None! | OK! -> 1\n");

    Outcome ls = printctl("templates ls --db '" + url() + "'");
    EXPECT_EQ(ls.exitCode, 0) << ls.err;
    EXPECT_EQ(ls.out.substr(0, ls.out.find("\tdp_")), "report\t月结\t月结模板\tA\tpublic,default");

    Outcome ex = printctl("templates export --db '" + url() +
                          "' --doc 月结 --owner A --name "
                          "月结模板 --frame " +
                          tempPath("f.srd") + " --report " + tempPath("r.srd"));
    EXPECT_EQ(ex.exitCode, 0) << ex.err;
    EXPECT_NE(slurp(tempPath("f.srd")).find("name=dw_report"), std::string::npos);
    EXPECT_NE(slurp(tempPath("r.srd")).find("name=goodsname"), std::string::npos);

    // Imported under another name by an administrator, then opened by operator B as the new
    // default of the document.
    Outcome im = printctl("templates import --db '" + url() +
                          "' --doc 月结 --owner Z --name 导入 "
                          "--dwname x --default --frame " +
                          tempPath("f.srd") + " --report " + tempPath("r.srd"));
    EXPECT_EQ(im.exitCode, 0) << im.err;
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "导入");
    Outcome bad = printctl("templates import --db '" + url() +
                           "' --doc 月结 --owner Z --name x "
                           "--dwname x --frame " +
                           tempPath("report.srd") + " --report " + tempPath("nosuch.srd"));
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "error: cannot read " + tempPath("nosuch.srd") + "\n");

    Outcome rm = printctl("templates rm --db '" + url() + "' --doc 月结 --owner A --name 月结模板");
    EXPECT_EQ(rm.exitCode, 0) << rm.err;
    EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODTWO"), "1");
    Outcome again =
        printctl("templates rm --db '" + url() + "' --doc 月结 --owner A --name 月结模板");
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_EQ(again.err, "error: no template 月结模板\n");
}

TEST_P(PrintctlPrint, ScriptErrorsAndUnansweredQuestionsAreReported) {
    Outcome r = printctl(printArgs("A", script("bad.txt", "click uob_preview\nclick nosuch\n")));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: line 2: no control 'nosuch' on w_print\n");

    // A question with no queued answer gets the last button: Cancel.
    const std::string save = "click uob_preview\nclick uob_save\ntype sle_name 甲\nclick uob_ok\n";
    EXPECT_EQ(printctl(printArgs("A", script("s1.txt", save))).exitCode, 0);
    Outcome ask = printctl(printArgs("A", script("s2.txt", save + "click uob_cancel\n")));
    EXPECT_EQ(ask.exitCode, 0) << ask.err;
    EXPECT_EQ(
        ask.err,
        "message: 提示 | 该模板名称已存在，且为公共模板，您的修改将影响到其他人对此模板的使用！"
        "您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 2\n");

    Outcome noOutput = printctl("print --db '" + url() + "' --lib " + tempPath("a.plib") +
                                " --operator A --report " + tempPath("report.srd"));
    EXPECT_EQ(noOutput.exitCode, 2);
    EXPECT_EQ(noOutput.err,
              "error: give --pdf, --printer or --dump (or a --script that says what to do)\n");
}

TEST_P(PrintctlPrint, TheMouseAndKeysDriveTheDesignerAsAnOperatorWould) {
    // d_print is in thousandths of a centimetre; st_repname sits at x 0, 20000 wide.
    const std::string s = script("design.txt",
                                 "mouse down @st_repname\n"
                                 "mouse move @st_repname 9000 350\n"
                                 "mouse up @st_repname 9000 350\n"
                                 "describe dw_preview st_repname.x\n"
                                 "key Z ctrl\n"
                                 "describe dw_preview st_repname.x\n"
                                 "click uo_redo\n"
                                 "describe dw_preview st_repname.x\n"
                                 "click uo_undo\n"
                                 // two objects, the second with Ctrl; a toolbar command, and the
                                 // arrows still reach the report
                                 "mouse down @st_coname\n"
                                 "mouse up @st_coname\n"
                                 "mouse down @st_address ctrl\n"
                                 "mouse up @st_address ctrl\n"
                                 "click pb_left\n"
                                 "key Right\n"
                                 "describe dw_preview st_coname.x\n"
                                 "describe dw_preview st_address.x\n"
                                 "key Z ctrl\n"
                                 "describe dw_preview st_address.x\n"
                                 // settings mode takes every marker away and hides the report
                                 "click uob_preview\n"
                                 "describe dw_preview datawindow.objects\n"
                                 "mouse down 10 10\n");
    Outcome r = printctl(printArgs("A", s));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: line 22: dw_preview is not shown: the mouse cannot reach it\n");
    std::vector<std::string> lines;
    std::stringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        if (line != ".") lines.push_back(line);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    // The centre moved by (9000 - 10000): x from 0 to -1000.
    EXPECT_EQ(lines[0], "-1000");
    EXPECT_EQ(lines[1], "0");
    EXPECT_EQ(lines[2], "-1000");
    EXPECT_NE(lines[3], "0");
    EXPECT_EQ(lines[3], lines[4]);
    EXPECT_EQ(lines[5], "0");
    EXPECT_EQ(lines[6].find("bw__"), std::string::npos) << lines[6];
    EXPECT_NE(lines[6].find("st_repname"), std::string::npos);
}

TEST_P(PrintctlPrint, ADragStopsNearThePapersEdge) {
    // d_print is A4 landscape in thousandths of a centimetre: 29700 wide, with a left margin of
    // 500. The centre of st_repname (x 0, 20000 wide) goes no further right than an inch (2540)
    // beyond the paper's edge.
    const std::string s = script("far.txt",
                                 "mouse down @st_repname\n"
                                 "mouse move @st_repname 99999999999 10\n"
                                 "mouse up @st_repname 99999999999 10\n"
                                 "describe dw_preview st_repname.x\n");
    Outcome r = printctl(printArgs("A", s));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "21740\n.\n");
}

TEST_P(PrintctlPrint, ThePressTheSelectionAndTheDragTakeTheSameObject) {
    // d_print: st_coname at y 100, 480 high; st_address 40 units below it, 400 high.
    const std::string s = script("press.txt",
                                 // beside st_coname: nothing is taken
                                 "mouse down @st_coname -50 190\n"
                                 "mouse up @st_coname -1050 190\n"
                                 "click uo_undo\n"
                                 "describe dw_preview st_coname.x st_coname.width\n"
                                 // 26 units above its bottom edge: st_coname grows
                                 "mouse down @st_coname 100 454\n"
                                 "mouse up @st_coname 100 954\n"
                                 "describe dw_preview st_coname.height st_address.y "
                                 "st_address.height\n"
                                 // a Ctrl-press that deselects drags nothing
                                 "mouse down @st_address ctrl\n"
                                 "mouse up @st_address ctrl\n"
                                 "mouse down @st_coname 100 200 ctrl\n"
                                 "mouse move @st_coname 5000 2000 ctrl\n"
                                 "mouse up @st_coname 5000 2000 ctrl\n"
                                 "describe dw_preview st_coname.x st_coname.y\n"
                                 // Ctrl+Z while the button is held does nothing
                                 "key Right\n"
                                 "mouse down @st_address 10000 200\n"
                                 "key Z ctrl\n"
                                 "mouse up @st_address 12000 200\n"
                                 "describe dw_preview st_coname.height st_address.x\n"
                                 "key Z ctrl\n"
                                 "key Z ctrl\n"
                                 "key Z ctrl\n"
                                 "describe dw_preview st_coname.height st_address.x\n"
                                 "click uo_redo\n"
                                 "click uo_redo\n"
                                 "click uo_redo\n"
                                 "describe dw_preview st_coname.height st_address.x\n"
                                 // a click on an object far above the paper moves nothing
                                 "modify dw_preview st_repname.y=-3850\n"
                                 "mouse down @st_repname\n"
                                 "mouse up @st_repname\n"
                                 "mouse down @st_repname 10000 5\n"
                                 "mouse up @st_repname 10000 5\n"
                                 "describe dw_preview st_repname.y st_repname.height\n");
    Outcome r = printctl(printArgs("A", s));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "0\n20000\n.\n"
              "980\n620\n400\n.\n"
              "0\n100\n.\n"
              "980\n2026\n.\n"
              "480\n0\n.\n"
              "980\n2026\n.\n"
              "\n.\n"
              "-3850\n700\n.\n");
}

TEST_P(PrintctlPrint, AReportWithStoredRowsShowsEachRowOnce) {
    // The host's report carries its two rows in its definition.
    Outcome r = printctl(printArgs("A", script("rows.txt",
                                               "describe dw_preview.dw_report "
                                               "evaluate('rowcount()',0)\n")));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2\n.\n");
}

TEST_P(PrintctlPrint, PrintsTheWindowsReportIntoNumberedPdfs) {
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("P.plib") +
                             " --operator P --report " + tempPath("report.srd") +
                             " --docname '商品清单,月结' ";
    Outcome r = printctl(base + "--pdf " + tempPath("once.pdf"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "printed: " + tempPath("once.pdf") + "\n");
    const std::string pdfText = [&] {
        std::system(("pdftotext " + tempPath("once.pdf") + " " + tempPath("once.txt")).c_str());
        return slurp(tempPath("once.txt"));
    }();
    for (const char* expected : {"商品清单", "可口可乐", "O'Brien 饼干", "60.00", "80.00"})
        EXPECT_NE(pdfText.find(expected), std::string::npos) << expected << " not in " << pdfText;

    // Each print of the window is a file of its own; the copies asked are all in it.
    Outcome twice = printctl(base + "--pdf " + tempPath("twice.pdf") + " --script " +
                             script("twice.txt",
                                    "click uob_print\n"
                                    "modify dw_preview DataWindow.Print.Copies='3'\n"
                                    "click uob_print\n"));
    EXPECT_EQ(twice.exitCode, 0) << twice.err;
    EXPECT_EQ(twice.err,
              "printed: " + tempPath("twice.pdf") + "\nprinted: " + tempPath("twice-2.pdf") + "\n");
    std::system(("pdfinfo " + tempPath("twice-2.pdf") + " > " + tempPath("info.txt")).c_str());
    EXPECT_NE(slurp(tempPath("info.txt")).find("Pages:           3"), std::string::npos)
        << slurp(tempPath("info.txt"));
}

TEST_P(PrintctlPrint, PrintsOnANamedPrinterOrSaysItDoesNotExist) {
    // Stand-ins for the print system's commands: lpstat knows "Kitchen"; lp records its call.
    const std::string bin = tempPath("bin");
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/lpstat")
        << "#!/bin/sh\n[ \"$2\" = Kitchen ] && exit 0\n"
           "echo \"lpstat: Invalid destination name in list \\\"$2\\\".\" >&2\n"
           "exit 1\n";
    std::ofstream(bin + "/lp") << "#!/bin/sh\necho \"$1 $2 $3 $4\" > " + tempPath("lp.txt") + "\n";
    std::filesystem::permissions(bin + "/lpstat", std::filesystem::perms::owner_all);
    std::filesystem::permissions(bin + "/lp", std::filesystem::perms::owner_all);
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("K.plib") +
                             " --operator K --report " + tempPath("report.srd") + " ";
    const std::string path = "PATH=" + bin + ":$PATH ";
    Outcome printed = printctl(base + "--printer Kitchen", "k1", path);
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    EXPECT_EQ(printed.err, "printed: printer Kitchen\n");
    EXPECT_EQ(slurp(tempPath("lp.txt")), "-d Kitchen -n 1\n");

    Outcome missing = printctl(base + "--printer Office", "k2", path);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err,
              "error: the printer \"Office\" does not exist\nerror: nothing was printed\n");
}

TEST_P(PrintctlPrint, PrintsOnARealPrintQueueWhatItWritesToAPdf) {
    const char* queue = std::getenv("PRINT_TEST_CUPS_PRINTER");
    const char* out = std::getenv("PRINT_TEST_CUPS_OUT");
    if (!queue || !out) GTEST_SKIP() << "no test print queue (scripts/with-test-cups.sh starts one)";
    if (GetParam() != print::db::Backend::Sqlite) GTEST_SKIP() << "the queue is the same for both";
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("Q.plib") +
                             " --operator Q --report " + tempPath("report.srd") +
                             " --docname '商品清单,月结' ";
    Outcome file = printctl(base + "--pdf " + tempPath("file.pdf"), "q1");
    ASSERT_EQ(file.exitCode, 0) << file.err;
    print::test::PrintQueueLock lock(out);
    const std::set<std::string> before = print::test::pdfsIn(out);
    Outcome printed = printctl(base + "--printer " + queue, "q2");
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    EXPECT_EQ(printed.err, std::string("printed: printer ") + queue + "\n");
    const std::string sheet = print::test::waitForNewPdf(out, before);
    ASSERT_FALSE(sheet.empty()) << "the queue wrote no PDF";
    // The queue's PDF went through the print system's filters onto A4 sheets: compared as
    // pictures, a landscape page turned and fitted onto the portrait sheet.
    const auto expected = print::test::rasterizePdf(tempPath("file.pdf"), 100);
    const auto actual = print::test::rasterizePdf(sheet, 100);
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_FALSE(expected.empty());
    EXPECT_GT(print::test::inkOf(expected[0]), 0.001);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_LT(print::test::sheetDifference(expected[i], actual[i]), 0.25) << "page " << i + 1;
    // ... where a blank sheet, or the sheet in a mirror, is far off.
    print::test::GrayPage blank = actual[0];
    std::fill(blank.pixels.begin(), blank.pixels.end(), 255);
    EXPECT_GT(print::test::sheetDifference(expected[0], blank), 0.9);
    print::test::GrayPage mirrored = actual[0];
    for (int y = 0; y < mirrored.height; ++y)
        std::reverse(mirrored.pixels.begin() + size_t(y) * mirrored.width,
                     mirrored.pixels.begin() + size_t(y + 1) * mirrored.width);
    EXPECT_GT(print::test::sheetDifference(expected[0], mirrored), 0.5);
}

TEST_P(PrintctlPrint, SettingsReadAndAppliedUneditedLeaveEveryDemoDocumentAsItWas) {
    Outcome demo = printctl("db init --url '" + url() + "' --demo", "demo");
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    // Twice into settings mode and back, each time reading every page and applying it.
    const std::string shown = "syntax dw_preview\nsyntax dw_preview.dw_report\n";
    const std::string s =
        script("roundtrip.txt", shown + "click uob_preview\nclick uob_preview\n"
                                        "click uob_preview\nclick uob_preview\n" + shown);
    const std::string defs = std::string(DEMO_DEFS_DIR) + "/";
    const std::vector<std::string> documents = {
        "--bill 101 --header " + defs + "d_demo_recv_head.srd --detail " + defs +
            "d_demo_recv_detail.srd --arg billid=101 --arg billno=YS20240315001",
        "--bill 305 --header " + defs + "d_demo_order_head.srd --detail " + defs +
            "d_demo_order_detail.srd --detail2 " + defs +
            "d_demo_order_gift.srd --arg billid=305 --arg billno=DH20240318001",
        "--bill 508 --header " + defs + "d_demo_settle_head.srd --detail " + defs +
            "d_demo_settle_detail.srd --detail2 " + defs +
            "d_demo_charge_detail.srd --arg billid=508 --arg billno=JS20240331001",
        "--report " + defs + "d_demo_sale_report.srd --head " + defs +
            "d_demo_sale_cond.srd --arg begindate=2024-01-01 --arg enddate=2024-01-03 "
            "--arg storeid= --arg category= --docname '商品销售汇总,销售报表'"};
    for (const std::string& doc : documents) {
        Outcome r = printctl("print --db '" + url() + "' --lib " + tempPath("D.plib") +
                                 " --operator 0001 " + doc + " --script " + s,
                             "doc");
        ASSERT_EQ(r.exitCode, 0) << doc << "\n" << r.err;
        const size_t half = r.out.size() / 2;
        ASSERT_GT(half, 100u) << r.out;
        EXPECT_EQ(r.out.substr(0, half), r.out.substr(half)) << doc;
    }
}

TEST_P(PrintctlPrint, TheSettingsPagesKeepTotalsUnderTheirColumnsAndTextsOnThePage) {
    Outcome demo = printctl("db init --url '" + url() + "' --demo", "demo");
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const std::string defs = std::string(DEMO_DEFS_DIR) + "/";
    const std::string base =
        "print --db '" + url() + "' --lib " + tempPath("D.plib") + " --operator 0001 ";
    const std::string order = base + "--bill 305 --header " + defs +
                              "d_demo_order_head.srd --detail " + defs +
                              "d_demo_order_detail.srd --detail2 " + defs +
                              "d_demo_order_gift.srd --arg billid=305 --arg billno=DH20240318001 "
                              "--host gs_isbillprinttmp=Y";
    // 含税金额 one place up takes its total along; a row down and back up changes nothing.
    Outcome moved =
        printctl(order + " --script " +
                     script("columns.txt",
                            "syntax dw_preview.dw_report\n"
                            "click uob_preview\n"
                            "click tab_setup.tabpage_column\n"
                            "row tabpage_column.dw_column 3\n"
                            "click tabpage_column.uob_down\n"
                            "click tabpage_column.uob_up\n"
                            "click uob_preview\n"
                            "syntax dw_preview.dw_report\n"
                            "click uob_preview\n"
                            "row tabpage_column.dw_column 9\n"
                            "click tabpage_column.uob_up\n"
                            "set tabpage_column.dw_column 4 width 700\n"
                            "click uob_preview\n"
                            "describe dw_preview.dw_report amount.x sum_hsjjje.x price.x\n"),
                 "columns");
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    const size_t first = moved.out.find("\n.\n") + 3;
    const size_t second = moved.out.find("\n.\n", first) + 3;
    EXPECT_EQ(moved.out.substr(first, second - first), moved.out.substr(0, first));
    EXPECT_EQ(moved.out.substr(second), "2572\n2572\n2881\n.\n");

    // The title into the footer lands inside it; the summary height the report took is shown.
    Outcome pages =
        printctl(base + "--report " + defs + "d_demo_sale_report.srd --head " + defs +
                     "d_demo_sale_cond.srd --arg begindate=2024-01-01 --arg enddate=2024-01-03 "
                     "--arg storeid= --arg category= --docname '商品销售汇总,销售报表' --script " +
                     script("pages.txt",
                            "click uob_preview\n"
                            "click tab_setup.tabpage_page\n"
                            "set tabpage_page.dw_font 2 band footer\n"
                            "set tabpage_page.dw_height 1 summary 3000\n"
                            "click uob_preview\n"
                            "describe dw_preview st_repname.band st_repname.y\n"
                            "click uob_preview\n"
                            "describe tabpage_page.dw_height Evaluate('summary',1)\n"),
                 "pages");
    ASSERT_EQ(pages.exitCode, 0) << pages.err;
    EXPECT_EQ(pages.out, "footer\n800\n.\n0\n.\n");
}

TEST_P(PrintctlPrint, ThePrinterSetupDialogNamesTheReportsPrinter) {
    const std::string s = script("printer.txt",
                                 "click uob_preview\n"
                                 "printersetup O'Brien 收银台\n"
                                 "click tabpage_setup.uob_setup\n"
                                 "describe dw_preview DataWindow.Printer\n"
                                 "printersetup cancel\n"
                                 "click tabpage_setup.uob_setup\n"
                                 "describe dw_preview DataWindow.Printer\n");
    Outcome r = printctl(printArgs("A", s));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "O'Brien 收银台\n.\nO'Brien 收银台\n.\n");
}

TEST_P(PrintctlPrint, OperatorsSavingOneDocumentsDefaultAtOnceLeaveOneDefault) {
    // Three operators at the same moment, each from his own process and library: first each
    // saves a template of his own as the document's default, then all save the same name.
    auto round = [&](const std::string& tag, const std::function<std::string(char)>& name) {
        std::vector<std::thread> runs;
        std::vector<Outcome> outcomes(3);
        for (int op = 0; op < 3; ++op) {
            const char oper = static_cast<char>('A' + op);
            const std::string path =
                script(tag + oper + ".txt", "click uob_preview\nclick uob_save\ntype sle_name " +
                                                name(oper) +
                                                "\ncheck cbx_default on\nanswer 1\nclick uob_ok\n");
            runs.emplace_back([&, op, oper, path] {
                outcomes[op] = printctl(printArgs(std::string(1, oper), path), tag + oper);
            });
        }
        for (auto& t : runs) t.join();
        for (const Outcome& o : outcomes) EXPECT_EQ(o.exitCode, 0) << o.err;
        return outcomes;
    };
    auto consistent = [&] {
        EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "1");
        EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODONE a JOIN T_RPT_MODTWO b ON "
                         "b.rtdocname = a.rtdocname AND b.rtname = a.rtname AND b.rtoperid = "
                         "a.rtoperid WHERE a.rtmdata IS NOT NULL AND b.rtcdata IS NOT NULL"),
                  column("SELECT count(*) FROM T_RPT_MODONE"));
    };
    for (int i = 0; i < 2; ++i) {
        round("own" + std::to_string(i),
              [i](char oper) { return std::string(1, oper) + "的模板" + std::to_string(i); });
        consistent();
    }
    const auto outcomes = round("same", [](char) { return std::string("同名"); });
    consistent();
    // One of them got the name; the others were told it is taken.
    EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODONE WHERE rtname = '同名'"), "1");
    int refused = 0;
    for (const Outcome& o : outcomes)
        refused += o.err.find("该名称已被其他人使用，请重新命名！") != std::string::npos;
    EXPECT_EQ(refused, 2);
}

TEST_P(PrintctlPrint, ADefaultThatFailsToLoadPrintsNothingAndExitsOne) {
    const std::string save = script("save.txt",
                                    "click uob_preview\nclick uob_save\ntype sle_name 甲\n"
                                    "check cbx_default on\nclick uob_ok\n");
    ASSERT_EQ(printctl(printArgs("A", save)).exitCode, 0);
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("A.plib") +
                             " --operator A --report " + tempPath("report.srd") +
                             " --docname '商品清单,月结' ";
    struct Case {
        const char* damage;
        const char* message;
    };
    // One damage after the other.
    const Case cases[] = {
        {"UPDATE T_RPT_MODONE SET rtmdata = NULL",
         "message: 提示 | 装入模板失败(DATAWINODW SYNTAX为空)！ | None! | OK! -> 1\n"},
        {"UPDATE T_RPT_MODONE SET rtdwcurname = ''",
         "message: 提示 | 装入模板失败(打印模板DATAWINDOW为空)！ | None! | OK! -> 1\n"}};
    for (const Case& c : cases) {
        ASSERT_GE(sqlca.execute(c.damage), 0);
        ASSERT_EQ(sqlca.commit(), 0);
        const std::string pdf = tempPath("never.pdf");
        Outcome r = printctl(base + "--pdf " + pdf);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, std::string(c.message) +
                             "message: 错误 | 没有装入报表，不能打印！ | StopSign! | OK! -> 1\n"
                             "error: nothing was printed\n");
        EXPECT_FALSE(std::filesystem::exists(pdf));
        // A script that prints gets the same refusal.
        Outcome scripted = printctl(base + "--pdf " + pdf + " --script " +
                                    script("print.txt", "click uob_print\n"));
        EXPECT_EQ(scripted.exitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(pdf));
    }
}

// The texts and numbers of a dump (printctl print --dump) that their boxes cut: wider than the
// box they are drawn in, or reaching above or below their clip; one line each.
std::vector<std::string> cutValues(const std::string& dump) {
    static const std::regex text(
        R"(^text \[([^\]]*)\] ([-\d.]+),([-\d.]+),([-\d.]+),([-\d.]+) base=[-\d.]+ w=([-\d.]+) )"
        R"(.* (?:left|right|center|justify)(?: rot=[-\d.]+)? (".*")(?: bg=\w+)?)"
        R"((?: clip=([-\d.]+),([-\d.]+),([-\d.]+),([-\d.]+))?$)");
    std::vector<std::string> cut;
    std::istringstream lines(dump);
    long page = 0;
    size_t texts = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("page ", 0) == 0) page = std::stol(line.substr(5));
        if (line.rfind("warning ", 0) == 0) cut.push_back("page " + std::to_string(page) + ": " + line);
        std::smatch m;
        if (!std::regex_match(line, m, text)) continue;
        ++texts;
        const double y = std::stod(m[3]), width = std::stod(m[4]), height = std::stod(m[5]);
        const double measured = std::stod(m[6]);
        bool wide = measured > width + 0.01;
        bool clipped = false;
        if (m[8].matched) {
            const double top = std::stod(m[9]), bottom = top + std::stod(m[11]);
            clipped = y < top - 0.01 || y + height > bottom + 0.01;
        }
        if (wide || clipped)
            cut.push_back("page " + std::to_string(page) + ": [" + m[1].str() + "] " + m[7].str() +
                          (wide ? " wider than its box" : " cut above or below"));
    }
    if (texts == 0) cut.push_back("no text in the dump");
    return cut;
}

TEST_P(PrintctlPrint, ABandNoPageHoldsIsNamedAndNothingPrinted) {
    std::string tall = kReport;
    tall.replace(tall.find("detail(height=72 )"), 18, "detail(height=4000 )");
    std::ofstream(tempPath("tall.srd")) << tall;
    const std::string pdf = tempPath("tall.pdf");
    Outcome r = printctl("print --db '" + url() + "' --lib " + tempPath("T.plib") +
                         " --operator A --report " + tempPath("tall.srd") + " --pdf " + pdf);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("message: 错误 | 带区“dw_report.detail”高750.0磅，超过一页所能容纳的", 0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find("磅，不能打印！ | StopSign!"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(pdf));

    // Nor is it saved as a PDF; and a page range that selects no page says so in the
    // operator's words.
    const std::string saved = tempPath("saved.pdf");
    r = printctl("print --db '" + url() + "' --lib " + tempPath("T.plib") +
                 " --operator A --report " + tempPath("tall.srd") + " --script " +
                 script("tall.txt", "filename " + saved + "\nclick uob_saveas\n"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("磅，不能保存为文件！ | StopSign!"), std::string::npos) << r.err;
    std::ofstream(tempPath("short.srd")) << kReport;
    r = printctl("print --db '" + url() + "' --lib " + tempPath("T.plib") +
                 " --operator A --report " + tempPath("short.srd") + " --script " +
                 script("range.txt",
                        "modify dw_preview DataWindow.Print.Page.Range='9-12'\nfilename " + saved +
                            "\nclick uob_saveas\n"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("message: 提示 | 文档保存失败！\\n页码范围“9-12”中没有可保存的页（报表共1"
                         "页）。 | StopSign!"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(saved));
}

// The codes zbarimg (a reader no one here wrote) finds on the pages of a PDF drawn at `dpi`:
// "TYPE:value", once each.
std::set<std::string> scannedSymbols(const std::string& pdf, int dpi) {
    const std::string pages = pdf + "-" + std::to_string(dpi);
    std::system(("pdftoppm -r " + std::to_string(dpi) + " -png " + pdf + " " + pages).c_str());
    const std::string list = pages + ".codes";
    std::system(("zbarimg -q " + pages + "-*.png >" + list + " 2>/dev/null").c_str());
    std::set<std::string> symbols;
    std::istringstream lines(slurp(list));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) symbols.insert(line);
    return symbols;
}

TEST_P(PrintctlPrint, APdfFromTheSaveDialogIsThePrintedPages) {
    // Two hundred goods lines: several pages, of which the print settings take two.
    std::string many = kReport;
    std::string rows;
    for (int i = 1; i <= 200; ++i) rows += "\"货品" + std::to_string(i) + "\" " + std::to_string(i) + ".00 ";
    many.replace(many.find("data("), many.find(")", many.find("data(")) - many.find("data(") + 1,
                 "data(" + rows + ")");
    std::ofstream(tempPath("many.srd")) << many;
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("P.plib") +
                             " --operator A --report " + tempPath("many.srd");
    const std::string range = "modify dw_preview DataWindow.Print.Page.Range='2-3'\n"
                              "modify dw_preview DataWindow.Print.Copies=2\n";
    Outcome printed = printctl(base + " --pdf " + tempPath("printed.pdf") + " --script " +
                                   script("print.txt", range + "click uob_print\n"),
                               "printed");
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    // Selected with a designer's mark on screen: the mark stays off the file.
    Outcome saved = printctl(base + " --script " +
                                 script("save.txt", range +
                                                        "mouse down @st_repname 10 10\n"
                                                        "mouse up @st_repname 10 10\nfilename " +
                                                        tempPath("saved.pdf") +
                                                        "\nclick uob_saveas\n"),
                             "saved");
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_EQ(saved.err, "message: 提示 | 文档已成功保存为文件 " + tempPath("saved.pdf") +
                             " 。 | None! | OK! -> 1\n");
    const auto paper = print::test::rasterizePdf(tempPath("printed.pdf"));
    const auto file = print::test::rasterizePdf(tempPath("saved.pdf"));
    // The print holds two collated copies of pages 2 and 3; the file each page once.
    ASSERT_EQ(paper.size(), 4u);
    ASSERT_EQ(file.size(), 2u);
    EXPECT_LT(print::test::sheetDifference(file[0], paper[0]), 0.001);
    EXPECT_LT(print::test::sheetDifference(file[1], paper[1]), 0.001);
    EXPECT_GT(print::test::sheetDifference(file[0], file[1]), 0.001);
    // A file that cannot be written says so and leaves nothing.
    Outcome failed = printctl(base + " --script " +
                                  script("fail.txt", "filename " + tempPath("no/such/x.pdf") +
                                                         "\nclick uob_saveas\n"),
                              "failed");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("文档保存失败！"), std::string::npos) << failed.err;
    EXPECT_FALSE(std::filesystem::exists(tempPath("no/such/x.pdf")));
}

TEST_P(PrintctlPrint, EveryBillTheDemoOffersPrints) {
    Outcome demo = printctl("db init --url '" + url() + "' --demo", "demo");
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const std::string defs = std::string(DEMO_DEFS_DIR) + "/";
    struct Bill {
        const char* id;
        const char* billno;
        const char* files;
        const char* expected;  // a text the printed pages hold
        bool goods = false;     // a goods list: the bill number and the goods' EAN-13 codes
        std::vector<std::string> symbols = {};  // further codes the pages carry
    };
    const Bill bills[] = {
        {"101", "YS20240315001", "--header d_demo_recv_head.srd --detail d_demo_recv_detail.srd",
         "商品验收单", true},
        {"305", "DH20240318001",
         "--header d_demo_order_head.srd --detail d_demo_order_detail.srd --detail2 "
         "d_demo_order_gift.srd",
         "采购订单", true},
        {"508", "JS20240331001",
         "--header d_demo_settle_head.srd --detail d_demo_settle_detail.srd --detail2 "
         "d_demo_charge_detail.srd",
         "YS20240302003", false, {"QR-Code:JS20240331001 南京金穗粮油贸易有限公司 62822.80"}},
        {"509", "JS20240331002",
         "--header d_demo_settle_head.srd --detail d_demo_settle_detail.srd --detail2 "
         "d_demo_charge_detail.srd",
         "XS202403-S001", false, {"QR-Code:JS20240331002 苏州味源食品有限公司 23007.70"}},
        {"J01", "FY20240401001",
         "--header d_demo_settle_head.srd --detail d_demo_settle_detail.srd --detail2 "
         "d_demo_charge_detail.srd --charge",
         "进场费", false, {"QR-Code:FY20240401001 上海洁净日化用品有限公司 35272.90"}},
        {"J02", "FY20240401002",
         "--header d_demo_settle_head.srd --detail d_demo_settle_detail.srd --detail2 "
         "d_demo_charge_detail.srd --charge",
         "堆头陈列费", false, {"QR-Code:FY20240401002 无锡清泉饮料有限公司 15120.90"}},
        {"J03", "FY20240401003",
         "--header d_demo_settle_head.srd --detail d_demo_settle_detail.srd --detail2 "
         "d_demo_charge_detail.srd --charge",
         "店庆促销费", false, {"QR-Code:FY20240401003 南京鑫和副食品批发部 27549.90"}},
    };
    for (const Bill& bill : bills) {
        std::string files = bill.files;
        for (size_t at = files.find("d_demo"); at != std::string::npos;
             at = files.find("d_demo", at + defs.size() + 1))
            files.insert(at, defs);
        const std::string pdf = tempPath(std::string("bill_") + bill.id + ".pdf");
        Outcome r = printctl("print --db '" + url() + "' --lib " + tempPath("D.plib") +
                                 " --operator 0001 --bill " + bill.id + " " + files +
                                 " --arg billid=" + bill.id + " --arg billno=" + bill.billno +
                                 " --pdf " + pdf + " --dump",
                             "bill");
        EXPECT_EQ(r.exitCode, 0) << bill.id << "\n" << r.err;
        EXPECT_EQ(r.err, "printed: " + pdf + "\n") << bill.id;
        // Sized as a careful site sizes its layouts: no value of the pages is cut.
        EXPECT_EQ(cutValues(r.out), std::vector<std::string>{}) << bill.id;
        std::system(("pdftotext " + pdf + " " + pdf + ".txt").c_str());
        EXPECT_NE(slurp(pdf + ".txt").find(bill.expected), std::string::npos)
            << bill.id << ": " << slurp(pdf + ".txt");
        // Every code on the pages reads back, as a scanner at the receiving desk reads it.
        std::set<std::string> expected(bill.symbols.begin(), bill.symbols.end());
        if (bill.goods) {
            expected.insert("CODE-128:" + std::string(bill.billno));
            ASSERT_EQ(sqlca.query("SELECT DISTINCT g.barcode FROM T_DEMO_BILLDETAIL d JOIN "
                                  "T_DEMO_GOODS g ON g.goodsid = d.goodsid WHERE d.billid = "
                                  ":billid",
                                  {Value(std::string(bill.id))},
                                  [&](const std::vector<Value>& row) {
                                      expected.insert("EAN-13:" + row[0].toText());
                                      return true;
                                  }),
                      0);
        }
        for (int dpi : {150, 300})
            EXPECT_EQ(scannedSymbols(pdf, dpi), expected) << bill.id << " at " << dpi << " dpi";
    }
    // The year's sales report: its first pages and its last ones, with the year's totals.
    const std::string pages = script(
        "sales.txt", "modify dw_preview DataWindow.Print.Page.Range='1-2,3200-99999'\n"
                     "click uob_print\n");
    Outcome sales = printctl(
        "print --db '" + url() + "' --lib " + tempPath("D.plib") + " --operator 0001 --report " +
            defs + "d_demo_sale_report.srd --head " + defs +
            "d_demo_sale_cond.srd --arg begindate=2024-01-01 --arg enddate=2024-12-31 --arg "
            "storeid= --arg category= --docname '商品销售汇总,销售报表' --dump --script " + pages,
        "sales");
    EXPECT_EQ(sales.exitCode, 0) << sales.err;
    EXPECT_NE(sales.out.find("\"13,203,411.70\""), std::string::npos);
    EXPECT_EQ(cutValues(sales.out), std::vector<std::string>{});
}

TEST_P(PrintctlPrint, FilesThatAreNoDefinitionAndOperatorIdsTheTablesCannotHoldAreRefused) {
    const std::string base = "print --db '" + url() + "' --lib " + tempPath("O.plib") + " ";
    const std::string report =
        " --report " + tempPath("report.srd") + " --pdf " + tempPath("o.pdf");
    Outcome zero = printctl(base + "--operator A --bill 101 --header " + tempPath("report.srd") +
                            " --detail /dev/zero --pdf " + tempPath("o.pdf"));
    EXPECT_EQ(zero.exitCode, 2);
    EXPECT_EQ(zero.err, "error: /dev/zero is not a regular file\n");
    Outcome folder = printctl(base + "--operator A" + report + " --script " + tempPath(""));
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_EQ(folder.err, "error: " + tempPath("") + " is not a regular file\n");
    Outcome empty = printctl(base + "--operator ''" + report);
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, "error: --operator needs an operator id\n");
    // The tables hold 20 characters: a longer id is refused before anything is saved, on
    // either back end alike; 20 of them are saved.
    const std::string save = script("save.txt",
                                    "click uob_preview\nclick uob_save\ntype sle_name 甲\n"
                                    "click uob_ok\n");
    const std::string longId = "操作员0123456789ABCDEFGH";
    Outcome tooLong = printctl(base + "--operator " + longId + " --report " +
                               tempPath("report.srd") + " --script " + save);
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_EQ(tooLong.err, "error: --operator is longer than 20 characters: " + longId + "\n");
    const std::string twenty = "操作员0123456789ABCDEFG";
    Outcome fits = printctl(base + "--operator " + twenty + " --report " + tempPath("report.srd") +
                            " --docname '商品清单,月结' --script " + save);
    EXPECT_EQ(fits.exitCode, 0) << fits.err;
    EXPECT_EQ(column("SELECT rtoperid FROM T_RPT_MODONE"), twenty);
    Outcome owner = printctl("templates import --db '" + url() + "' --doc 月结 --owner " + longId +
                             " --name x --dwname x --frame " + tempPath("report.srd") +
                             " --report " + tempPath("report.srd"));
    EXPECT_EQ(owner.exitCode, 2);
    EXPECT_EQ(owner.err, "error: --owner is longer than 20 characters: " + longId + "\n");
}

TEST_P(PrintctlPrint, ReportTemplatesAreFiledUnderTheReportsDataObjectName) {
    const std::string save = script("save.txt",
                                    "click uob_preview\nclick uob_save\ntype sle_name 甲\n"
                                    "click uob_ok\n");
    ASSERT_EQ(printctl(printArgs("A", save)).exitCode, 0);
    EXPECT_EQ(column("SELECT rtdwname FROM T_RPT_MODONE"), "report");
    // Another report of the same document does not see that template.
    std::ofstream(tempPath("other.srd")) << slurp(tempPath("report.srd"));
    const std::string list = script("list.txt", "describe dw_template Evaluate('rowcount()',0)\n");
    Outcome other = printctl("print --db '" + url() + "' --lib " + tempPath("A.plib") +
                             " --operator A --report " + tempPath("other.srd") +
                             " --docname '商品清单,月结' --script " + list);
    EXPECT_EQ(other.exitCode, 0) << other.err;
    EXPECT_EQ(other.out, "0\n.\n");
    // --dwname names it as the host does.
    Outcome named = printctl("print --db '" + url() + "' --lib " + tempPath("A.plib") +
                             " --operator A --report " + tempPath("other.srd") +
                             " --dwname REPORT --docname '商品清单,月结' --script " + list);
    EXPECT_EQ(named.out, "1\n.\n");
    Outcome own = printctl("print --db '" + url() + "' --lib " + tempPath("A.plib") +
                           " --operator A --report " + tempPath("other.srd") +
                           " --dwname d_print --docname '商品清单,月结' --script " + list);
    EXPECT_EQ(own.exitCode, 2);
    EXPECT_EQ(own.err, "error: " + tempPath("other.srd") +
                           ": d_print is a definition of the print component: name the window "
                           "otherwise (--dwname for the report or the bill's detail)\n");
}

PRINT_DB_BACKENDS(PrintctlPrint);

}  // namespace
}  // namespace print::db::test
