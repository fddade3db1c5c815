// printctl as a host developer runs it: the engine shell's protocol, exit codes and messages.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

extern char** environ;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs printctl with `args`, feeding `input` on standard input; `shell` runs before it in the
// same shell (a ulimit).
Outcome printctl(const std::string& args, const std::string& input = {},
                 const std::string& shell = {}) {
    fs::path dir = fs::temp_directory_path() / ("printctl_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "in") << input;
    std::string cmd = shell + std::string(PRINTCTL_PATH) + " " + args + " <" + (dir / "in").string() +
                      " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
    int status = std::system(cmd.c_str());
    auto slurp = [](const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    Outcome r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "out"), slurp(dir / "err")};
    fs::remove_all(dir);
    return r;
}

const std::string kDefs = std::string(CASES_DIR) + "/defs";

}  // namespace

TEST(PrintctlDw, FollowsTheLineProtocol) {
    Outcome r = printctl("dw d_frame --defs " + kDefs,
                         "modify st_coname.text='.dot'\n"
                         "describe st_repname.x st_coname.text\n"
                         "\n"
                         "frobnicate\n"
                         "child dw_report\n"
                         "rowcount\n"
                         "parent\n"
                         "describe dw_report.dataobject\n"
                         "quit\n"
                         "rowcount\n");
    EXPECT_EQ(r.exitCode, 0);
    // A line that begins with '.' gets one more; blank input lines are skipped; "parent" prints
    // nothing but the end mark; nothing runs after quit.
    EXPECT_EQ(r.out, "\n.\n800\n..dot\n.\nerror: unknown command\n.\n1\n.\n4\n.\n.\nd_bill\n.\n");
    EXPECT_EQ(r.err, "");
}

TEST(PrintctlDw, ReportsADefinitionThatDoesNotLoad) {
    fs::path bad = fs::temp_directory_path() / "printctl_bad.srd";
    std::ofstream(bad) << "release 9;\ndatawindow(units=0 \ntext(band=header text=\"a\" )\n";
    Outcome r = printctl("dw " + bad.string());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: Line 3 Column 5: expected '=' after 'text' but found '('\n");
    EXPECT_EQ(r.out, "");
    fs::remove(bad);

    Outcome missing = printctl("dw d_nowhere --defs " + kDefs);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err,
              "error: 'd_nowhere' is neither a file nor a definition on the library search "
              "list\n");
}

TEST(PrintctlDw, NamesTheLineAndColumnOfTextNotValidInItsEncoding) {
    fs::path bad = fs::temp_directory_path() / "printctl_bad_utf8.srd";
    std::ofstream(bad, std::ios::binary) << "release 9;\ndatawindow(units=0 )\ntext(text=\"caf\xe9\" )\n";
    Outcome r = printctl("dw " + bad.string());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: " + bad.string() +
                         ": Line 3 Column 15: the bytes are not valid UTF-8 text\n");
    Outcome gbk = printctl("dw " + bad.string() + " --encoding gbk");
    EXPECT_EQ(gbk.err, "error: " + bad.string() +
                           ": Line 3 Column 15: the bytes are not valid gbk text\n");
    fs::remove(bad);

    // Written on Chinese Windows: not UTF-8, so read in the application code page, unless
    // --encoding says otherwise.
    fs::path local = fs::temp_directory_path() / "printctl_gbk.srd";
    std::ofstream(local, std::ios::binary)
        << "release 9;\ndatawindow(units=0 )\ntable(column=(type=char(10) name=a dbname=\"a\" ) )\n"
           "text(band=detail text=\"\xb4\xf2\xd3\xa1\" x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
           "name=t )\n";
    Outcome read = printctl("dw " + local.string(), "describe t.text\n");
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "打印\n.\n");
    Outcome utf8 = printctl("dw " + local.string() + " --encoding UTF-8");
    EXPECT_EQ(utf8.err, "error: " + local.string() +
                            ": Line 4 Column 24: the bytes are not valid UTF-8 text\n");
    fs::remove(local);
}

TEST(PrintctlDw, ItemsAndErrorsInPlainWords) {
    Outcome r = printctl("dw d_bill --defs " + kDefs,
                         "setitem 1 price 19.999\n"
                         "getitem 1 price\n"
                         "setitem 1 proddate null\n"
                         "getitem 1 proddate\n"
                         "getitem x price\n"
                         "getitem 1\n"
                         "getitem 99 price\n"
                         "insertrow\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "1\n.\n19.999\n.\n1\n.\nnull\n.\nerror: expected a row number, found 'x'\n.\n"
              "error: expected a column name\n.\nerror: no row 99\n.\n"
              "error: insertrow needs a row number\n.\n");
}

TEST(Printctl, EverySubcommandHasHelp) {
    for (const char* sub :
         {"dw", "db init", "db check", "lib ls", "lib import", "lib export", "lib rm", "print",
          "templates ls", "templates export", "templates import", "templates rm", "render"}) {
        Outcome r = printctl(std::string(sub) + " --help");
        EXPECT_EQ(r.exitCode, 0) << sub;
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << sub;
    }
}

TEST(PrintctlLib, ImportListExportRemoveWithPlainErrors) {
    fs::path lib =
        fs::temp_directory_path() / ("printctl_test_" + std::to_string(::getpid()) + ".plib");
    fs::remove(lib);
    std::string l = lib.string();
    EXPECT_EQ(printctl("lib import " + l + " d_bill " + kDefs + "/d_bill.srd").exitCode, 0);
    Outcome ls = printctl("lib ls " + l);
    EXPECT_EQ(ls.exitCode, 0);
    EXPECT_TRUE(ls.out.starts_with("d_bill\t20")) << ls.out;
    EXPECT_NE(printctl("lib export " + l + " d_bill").out.find("release 9;"), std::string::npos);

    fs::path bad = fs::temp_directory_path() / "printctl_bad_def.srd";
    std::ofstream(bad) << "release 9;\ndatawindow(units=0 )\ntable(column=(type=blob name=a ) )\n";
    Outcome refused = printctl("lib import " + l + " d_bad " + bad.string());
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("unknown column type 'blob'"), std::string::npos) << refused.err;
    fs::remove(bad);

    Outcome gone = printctl("lib rm " + l + " d_nosuch");
    EXPECT_NE(gone.exitCode, 0);
    EXPECT_EQ(gone.err, "printctl: no entry d_nosuch in " + l + "\n");
    EXPECT_EQ(printctl("lib rm " + l + " d_bill").exitCode, 0);
    EXPECT_EQ(printctl("lib ls " + l).out, "");

    Outcome dw = printctl("dw d_bill --lib /nonexistent/x.plib");
    EXPECT_EQ(dw.exitCode, 2);
    EXPECT_EQ(dw.err, "error: no library file at /nonexistent/x.plib\n");
    fs::remove(lib);
}

// Several imports that find the library missing create it at the same moment: each one's entry
// is stored, and nothing but the library is left in its folder.
TEST(PrintctlLib, ImportsCreatingOneLibraryAtOnceAllStoreTheirEntries) {
    fs::path dir = fs::temp_directory_path() / ("printctl_race_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string definition = kDefs + "/d_bill.srd";
    constexpr int kProcesses = 6;
    for (int round = 0; round < 5; ++round) {
        std::string lib = (dir / ("race" + std::to_string(round) + ".plib")).string();
        std::vector<pid_t> pids;
        for (int i = 0; i < kProcesses; ++i) {
            std::string name = "d_" + std::to_string(i);
            std::vector<std::string> args = {PRINTCTL_PATH, "lib", "import", lib, name, definition};
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            pid_t pid = 0;
            ASSERT_EQ(posix_spawn(&pid, PRINTCTL_PATH, nullptr, nullptr, argv.data(), environ), 0);
            pids.push_back(pid);
        }
        for (pid_t pid : pids) {
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        Outcome ls = printctl("lib ls " + lib);
        EXPECT_EQ(ls.exitCode, 0) << ls.err;
        EXPECT_EQ(std::count(ls.out.begin(), ls.out.end(), '\n'), kProcesses) << ls.out;
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"race0.plib", "race1.plib", "race2.plib", "race3.plib",
                                              "race4.plib"}));
    fs::remove_all(dir);
}

namespace {

const std::string kLayout = std::string(LAYOUT_DIR);

std::string writeTemp(const std::string& name, const std::string& text) {
    fs::path p = fs::temp_directory_path() / ("printctl_" + std::to_string(::getpid()) + name);
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

}  // namespace

TEST(PrintctlRender, RowsFromAFileGoToTheFramesListAndPagesAreCounted) {
    std::string rows = "lineno\tgoods\tqty\tamount\n";
    for (int i = 1; i <= 100; ++i)
        rows += std::to_string(i) + "\t货品" + std::to_string(i) + "\t1\t2.50\n";
    std::string file = writeTemp("rows.tsv", rows);
    Outcome r =
        printctl("render " + kLayout + "/frame_nested.srd --defs " + kLayout + " --rows " + file);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "pages: 4\n");
    // One page's display list, and the count of all of them last.
    Outcome one = printctl("render " + kLayout + "/frame_nested.srd --defs " + kLayout +
                           " --rows " + file + " --dump --page 4");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.out.rfind("page 4 paper=419.53x595.28", 0), 0u);
    EXPECT_NE(one.out.find("\"第4页 共4页\""), std::string::npos);
    EXPECT_NE(one.out.find("\"250.00\""), std::string::npos);  // the list's total
    EXPECT_EQ(one.out.substr(one.out.size() - 9), "pages: 4\n");
    EXPECT_EQ(one.out.find("page 3 "), std::string::npos);
    // A byte-order mark that an editor put first is no part of the first column's name.
    const std::string marked = writeTemp("marked.tsv", "\xEF\xBB\xBF" + rows);
    Outcome withMark =
        printctl("render " + kLayout + "/frame_nested.srd --defs " + kLayout + " --rows " + marked);
    EXPECT_EQ(withMark.exitCode, 0) << withMark.err;
    EXPECT_EQ(withMark.out, "pages: 4\n");
    fs::remove(marked);
    fs::remove(file);
}

TEST(PrintctlRender, BadInputIsAnErrorNamingTheLine) {
    std::string frame = kLayout + "/frame_nested.srd --defs " + kLayout;
    auto render = [&](const std::string& args) {
        Outcome r = printctl("render " + args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        return r.err;
    };
    std::string unknown = writeTemp("unknown.tsv", "lineno\tprice\n1\t2\n");
    EXPECT_EQ(render(frame + " --rows " + unknown),
              "error: " + unknown + " line 1: the report has no column 'price'\n");
    std::string bad = writeTemp("bad.tsv", "lineno\tqty\n1\t2\n3\tmany\n");
    EXPECT_EQ(render(frame + " --rows " + bad), "error: " + bad +
                                                    " line 3: 'many' does not fit column 'qty', "
                                                    "which holds a whole number\n");
    std::string twice = writeTemp("twice.tsv", "lineno\tqty\tLineNo\n1\t2\t3\n");
    EXPECT_EQ(render(frame + " --rows " + twice),
              "error: " + twice + " line 1: the column 'LineNo' is named twice\n");
    EXPECT_EQ(render(frame + " --rows /nonexistent/rows.tsv"),
              "error: cannot read the rows file '/nonexistent/rows.tsv'\n");
    EXPECT_EQ(render(frame + " --page 9"),
              "error: page 9 does not exist: the report has 3 pages\n");
    EXPECT_EQ(render(frame + " --pdf /nonexistent/out.pdf"),
              "error: cannot write /nonexistent/out.pdf: the folder /nonexistent does not exist\n");
    EXPECT_EQ(render("d_nowhere"),
              "error: 'd_nowhere' is neither a file nor a definition on the library search "
              "list\n");
    for (const auto& f : {unknown, bad, twice}) fs::remove(f);
}

TEST(PrintctlRender, ANumberWiderThanItsBoxIsWarnedOfAndABandNoPageHoldsRefused) {
    std::string rows = "lineno\tgoods\tqty\tamount\n";
    for (int i = 1; i <= 3; ++i)
        rows += std::to_string(i) + "\t货品\t1\t" + (i == 2 ? "123456789012.50" : "2.50") + "\n";
    const std::string file = writeTemp("wide.tsv", rows);
    const std::string frame = kLayout + "/frame_nested.srd --defs " + kLayout + " --rows " + file;
    // One line an object and page, whatever is drawn (display lists, PDF, pictures).
    Outcome r = printctl("render " + frame + " --dump --pdf " + writeTemp("wide.pdf", ""));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "warning: page 1: amount (123,456,789,012.50) is wider than its box\n"
                     "warning: page 1: total (123,456,789,017.50) is wider than its box\n");
    // A band of fixed height that no page holds is not laid out in slices without a word.
    const std::string tall = writeTemp("tall.srd", "release 9;\ndatawindow(units=1 )\n"
                                                    "header(height=100000 )\ndetail(height=20 )\n"
                                                    "table(column=(type=long name=n dbname=\"n\" ) )\n");
    Outcome refused = printctl("render " + tall + " --dump");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "error: the band \"header\" is 75000.0 pt high, more than the 805.9 pt "
                           "a page holds of it\n");
    fs::remove(file);
}

TEST(PrintctlRender, APictureWithoutAFileIsLeftOutAndAMissingOneWarnedOf) {
    const std::string def = writeTemp(
        "pictures.srd", "release 9;\ndatawindow(units=1 )\nheader(height=100 )\n"
                        "detail(height=20 )\ntable(column=(type=long name=n dbname=\"n\" ) )\n"
                        "bitmap(band=header filename=\"\" x=\"0\" y=\"0\" width=\"50\" "
                        "height=\"50\" name=p_assinatura )\n"
                        "bitmap(band=header filename=\"/nonexistent/logo.png\" x=\"60\" y=\"0\" "
                        "width=\"50\" height=\"50\" name=p_logo )\n");
    const std::string pdf = writeTemp("pictures.pdf", "");
    Outcome r = printctl("render " + def + " --pdf " + pdf);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "pages: 1\n");
    EXPECT_EQ(r.err, "warning: page 1: the picture /nonexistent/logo.png of p_logo cannot be "
                     "read: File not found\n");
    EXPECT_GT(fs::file_size(pdf), 0u);
}

TEST(PrintctlRender, ThousandsOfColumnsTakeLittleMemoryAndTooLittleIsAnError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit here";
#endif
    // Ten thousand columns of a grid with a few rows: a column costs its values, not a
    // reservation for rows to come.
    std::string def = "release 9;\ndatawindow(units=1 processing=1 )\nheader(height=20 )\n"
                      "detail(height=20 )\ntable(";
    std::string objects, rows, row;
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i), x = std::to_string(i * 45);
        def += "column=(type=char(10) name=c" + n + " dbname=\"c" + n + "\" ) ";
        objects += "text(band=header text=\"C" + n + "\" x=\"" + x +
                   "\" y=\"0\" width=\"40\" height=\"16\" name=c" + n + "_t )\n";
        objects += "column(band=detail id=" + std::to_string(i + 1) + " x=\"" + x +
                   "\" y=\"0\" width=\"40\" height=\"16\" name=c" + n + " )\n";
        rows += (i ? "\t" : "") + std::string("c") + n;
        row += (i ? "\t" : "") + std::string("v") + n;
    }
    const std::string file = writeTemp("wide.srd", def + ")\n" + objects);
    const std::string data = writeTemp("wide.tsv", rows + "\n" + row + "\n" + row + "\n");
    const std::string render = "render " + file + " --rows " + data + " --dump --page 1";
    Outcome fits = printctl(render, "", "ulimit -v 600000; ");
    EXPECT_EQ(fits.exitCode, 0) << fits.err;
    EXPECT_NE(fits.out.find("\"v9999\""), std::string::npos);
    // With too little memory it is an error, not an abort.
    Outcome starved = printctl(render, "", "ulimit -v 150000; ");
    EXPECT_EQ(starved.exitCode, 1) << starved.err;
    EXPECT_NE(starved.err.find("there is not enough memory"), std::string::npos) << starved.err;
    fs::remove(file);
    fs::remove(data);
}

TEST(PrintctlRender, APictureOfAHugePageIsRefusedNamingTheDpiThatFits) {
    // 200 x 150 inches of custom paper: at 150 dpi a picture of 675 megapixels.
    const std::string def = writeTemp(
        "huge.srd", "release 9;\ndatawindow(units=2 print.paper.size=256 "
                    "print.custompage.width=200000 print.custompage.length=150000 )\n"
                    "detail(height=200 )\ntable(column=(type=long name=n dbname=\"n\" ) )\n");
    const std::string dir = writeTemp("huge_png", "");
    fs::remove(dir);
    Outcome r = printctl("render " + def + " --png-dir " + dir + " --dpi 150");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: a page of 14400 x 10800 pt at 150 dpi is a picture of 30000 x 22500 "
                     "pixels (675 megapixels), more than the 100 megapixels a picture may have: "
                     "give --dpi 57 or less\n");
    EXPECT_FALSE(fs::exists(dir));
    Outcome fits = printctl("render " + def + " --png-dir " + dir + " --dpi 10");
    EXPECT_EQ(fits.exitCode, 0) << fits.err;
    EXPECT_TRUE(fs::exists(dir + "/page-1.png"));
    fs::remove_all(dir);
}

TEST(PrintctlRender, TheComponentsOwnFramesAreFoundByName) {
    Outcome r = printctl("render d_print");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "pages: 1\n");
}

TEST(PrintctlRender, SavedRowsOpenAgainAsAReportFile) {
    std::string rows = "lineno\tgoods\tqty\tamount\n";
    for (int i = 1; i <= 3; ++i)
        rows += std::to_string(i) + "\t货品" + std::to_string(i) + "\t1\t2.50\n";
    const std::string file = writeTemp("rows.tsv", rows);
    const std::string psr = writeTemp("saved.psr", "");
    const std::string csv = writeTemp("saved.csv", "");
    const std::string list = kLayout + "/frame_nested.srd --defs " + kLayout + " --rows " + file;
    // A report file holds the frame with the list inside it.
    Outcome saved = printctl("render " + list + " --saveas " + psr);
    EXPECT_EQ(saved.exitCode, 0) << saved.err;
    Outcome opened = printctl("dw " + psr, "child dw_report\nrowcount\ngetitem 3 goods\n");
    EXPECT_EQ(opened.exitCode, 0) << opened.err;
    EXPECT_EQ(opened.out, "1\n.\n3\n.\n货品3\n.\n");
    Outcome again = printctl("render " + psr);
    EXPECT_EQ(again.out, "pages: 1\n") << again.err;
    Outcome csvOut = printctl("dw " + psr, "child dw_report\nsaveas " + csv + " noheadings\n");
    EXPECT_EQ(csvOut.out, "1\n.\n1\n.\n");
    std::ifstream in(csv);
    std::string first;
    std::getline(in, first);
    // In the code page (GB18030 here), values rather than display formats.
    EXPECT_EQ(first, "1,\xBB\xF5\xC6\xB7" "1,1,2.5\r");

    // Rows go out as the print window exports them: the list's, not the frame's own row.
    const std::string listCsv = writeTemp("list.csv", "");
    Outcome listSaved = printctl("render " + list + " --saveas " + listCsv);
    EXPECT_EQ(listSaved.exitCode, 0) << listSaved.err;
    std::ifstream listIn(listCsv, std::ios::binary);
    std::stringstream listText;
    listText << listIn.rdbuf();
    std::string listRows = "lineno,goods,qty,amount\r\n";
    for (int i = 1; i <= 3; ++i)
        listRows += std::to_string(i) + ",\xBB\xF5\xC6\xB7" + std::to_string(i) + ",1,2.5\r\n";
    EXPECT_EQ(listText.str(), listRows);
    fs::remove(listCsv);

    // A file name with blanks, the option after it.
    const std::string blanks = (fs::path(psr).parent_path() / "月 报 表.txt").string();
    Outcome spaced = printctl("dw " + psr, "child dw_report\nsaveas " + blanks + " NoHeadings\n");
    EXPECT_EQ(spaced.out, "1\n.\n1\n.\n");
    EXPECT_TRUE(fs::exists(blanks));
    fs::remove(blanks);

    Outcome bad = printctl("render " + list + " --saveas " + writeTemp("x.doc", ""));
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err,
              "error: cannot save as 'doc': name the file .txt, .csv, .htm, .dif, .slk, .wks, "
              ".wk1, .dbf, .xls, .xlsx, .wmf or .psr\n");
    Outcome unwritable = printctl("render " + list + " --saveas /nonexistent/dir/x.csv");
    EXPECT_EQ(unwritable.exitCode, 2);
    EXPECT_EQ(unwritable.err.rfind("error: /nonexistent/dir/x.csv: ", 0), 0u) << unwritable.err;
    for (const auto& f : {file, psr, csv}) fs::remove(f);
}
