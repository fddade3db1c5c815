// Every export format read back by an independent reader (Python's csv and html modules, xlrd,
// openpyxl, dbfread, Gnumeric's ssconvert, libwmf's wmf2svg).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/encoding.h"
#include "engine/datastore.h"
#include "engine/library.h"
#include "export/saveas.h"

namespace print::saveas {
namespace {

using namespace print::engine;

namespace fs = std::filesystem;

const char* const kStores = R"srd(release 9;
datawindow(units=0 )
detail(height=80 )
table(column=(type=char(6) name=storeid dbname="storeid" )
 column=(type=char(20) name=storename dbname="storename" ) )
data("S01" "一号店" "S02" "O'Brien 店" )
)srd";

const char* const kSales = R"srd(release 9;
datawindow(units=0 processing=1 )
header(height=80 )
detail(height=80 )
table(column=(type=char(40) name=goodsname dbname="goodsname" )
 column=(type=decimal(2) name=amount dbname="amount" )
 column=(type=date name=saledate dbname="saledate" )
 column=(type=char(6) name=storeid dbname="storeid" )
 column=(type=char(1) name=kind dbname="kind" )
 column=(type=decimal(2) name=cost dbname="cost" ) )
data("可口可乐" 12.50 "2024-03-01" "S01" "1" 8.00
 "逗号,引号~"<b>
第二行" -3.75 "2024-02-29" "S02" "2" 1.25
 "null 行" null null null null null )
column(band=detail id=1 x="1" y="1" height="60" width="300" name=goodsname )
column(band=detail id=2 x="310" y="1" height="60" width="200" format="#,##0.00" name=amount )
column(band=detail id=3 x="520" y="1" height="60" width="200" format="yyyy年mm月dd日" name=saledate )
column(band=detail id=4 x="730" y="1" height="60" width="200" name=storeid dddw.name=d_stores dddw.displaycolumn=storename dddw.datacolumn=storeid )
column(band=detail id=5 x="940" y="1" height="60" width="200" name=kind ddlb.limit=0 values="食品	1/日用	2/" )
column(band=detail id=6 x="1150" y="1" height="60" width="200" format="***" name=cost )
)srd";

class SaveAs : public testing::Test {
protected:
    void SetUp() override {
        m_saved = LibrarySearchList::application().libraries();
        auto lib = std::make_shared<MemoryLibrary>("(test)");
        lib->put("d_stores", kStores);
        LibrarySearchList::application().append(lib);
        std::string error;
        ASSERT_EQ(report.Create(kSales, error), 1) << error;
        dir = fs::temp_directory_path() / ("saveas_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        LibrarySearchList::application().setLibraries(m_saved);
        fs::remove_all(dir);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Saves as `extension` and reads the file back with `reader` (by default the extension's).
    std::string roundTrip(const std::string& extension, const std::string& reader = {}) {
        const std::string file = path("sales." + extension);
        Status s = saveReportAs(report, file, *saveAsTypeForExtension(extension));
        EXPECT_TRUE(s.ok()) << (s ? "" : s.error().message);
        const std::string cmd = std::string(SAVEAS_READER) + " " +
                                (reader.empty() ? extension : reader) + " " + file + " > " +
                                path("out.txt") + " 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << slurp(path("out.txt"));
        return slurp(path("out.txt"));
    }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    DataStore report;
    fs::path dir;

private:
    std::vector<std::shared_ptr<DefinitionLibrary>> m_saved;
};

// What every reader sees: Chinese text, a text with a comma, a quote, markup and a line end,
// negative and null numbers, a date, a drop-down and a code-table column by their display
// values, a masked column as "***".
const std::string kRows =
    "可口可乐 | 12.5 | DATE1 | 一号店 | 食品 | ***\n"
    "逗号,引号\"<b>LINEEND第二行 | -3.75 | DATE2 | O'Brien 店 | 日用 | ***\n"
    "null 行 | <> | <> | <> | <> | ***\n";

std::string expected(const std::string& heading, const std::string& date1, const std::string& date2,
                     const std::string& lineEnd = "\\n") {
    std::string rows = kRows;
    for (auto [from, to] :
         {std::pair{std::string("DATE1"), date1}, std::pair{std::string("DATE2"), date2},
          std::pair{std::string("LINEEND"), lineEnd}})
        rows.replace(rows.find(from), from.size(), to);
    return heading + "\n" + rows;
}

const std::string kHeading = "goodsname | amount | saledate | storeid | kind | cost";

TEST_F(SaveAs, TextFormatsReadBackWithTheirOwnReaders) {
    EXPECT_EQ(roundTrip("txt"), expected(kHeading, "2024-03-01", "2024-02-29"));
    EXPECT_EQ(roundTrip("csv"), expected(kHeading, "2024-03-01", "2024-02-29"));
    EXPECT_EQ(roundTrip("htm"),
              "charset gb18030\n" + expected(kHeading, "2024-03-01", "2024-02-29"));
    // DIF and SYLK hold one value a line: a line end inside a text becomes a blank.
    EXPECT_EQ(roundTrip("dif"), expected(kHeading, "2024/03/01", "2024/02/29", " "));
    EXPECT_EQ(roundTrip("slk"), expected(kHeading, "2024-03-01", "2024-02-29", " "));
    const std::string csv = slurp(path("sales.csv"));
    EXPECT_EQ(csv.substr(0, 45), "goodsname,amount,saledate,storeid,kind,cost\r\n");
}

TEST_F(SaveAs, TextThatLooksLikeAFormulaStaysTextInASpreadsheet) {
    // Anyone may type a remark; opening the file must not run it. Numbers stay numbers.
    std::string error;
    ASSERT_EQ(report.Create(R"srd(release 9;
datawindow(units=0 )
detail(height=80 )
table(column=(type=char(20) name=remark dbname="remark" ) column=(type=decimal(2) name=n dbname="n" ) )
data("=1+1" -2 "-2+3" 3 "@SUM(A1:A2)" 4 "+1" 5 "plain" 6 )
)srd",
                            error),
              1)
        << error;
    const std::string asText =
        "remark | n\n=1+1 | -2.0\n-2+3 | 3.0\n@SUM(A1:A2) | 4.0\n+1 | 5.0\nplain | 6.0\n";
    for (const char* extension : {"csv", "txt", "htm", "dif"})
        EXPECT_EQ(roundTrip(extension, "gnumeric"), asText) << extension;
    // What the file holds: a leading apostrophe, the common mark of a text cell.
    EXPECT_EQ(slurp(path("sales.csv")),
              "remark,n\r\n'=1+1,-2\r\n'-2+3,3\r\n'@SUM(A1:A2),4\r\n'+1,5\r\nplain,6\r\n");
    // A tab or a carriage return first: CSV quotes the field, the apostrophe still leads.
    report.SetItem(1, "remark", Value("\t=1+1"));
    report.SetItem(2, "remark", Value("\r=1+1"));
    ASSERT_TRUE(saveReportAs(report, path("ws.csv"), SaveAsType::CSV).ok());
    const std::string quoted = "remark,n\r\n'\t=1+1,-2\r\n\"'\r=1+1\",3\r\n";
    EXPECT_EQ(slurp(path("ws.csv")).substr(0, quoted.size()), quoted);
}

TEST_F(SaveAs, SheetsAndTablesReadBackWithTheirOwnReaders) {
    EXPECT_EQ(roundTrip("wks"), expected(kHeading, "2024-03-01", "2024-02-29"));
    EXPECT_EQ(roundTrip("wk1"), expected(kHeading, "2024-03-01", "2024-02-29"));
    EXPECT_EQ(roundTrip("dbf"), expected("GOODSNAME | AMOUNT | SALEDATE | STOREID | KIND | COST",
                                         "date:2024-03-01", "date:2024-02-29"));
    EXPECT_EQ(roundTrip("xls"), expected(kHeading, "date:45352.0", "date:45351.0"));
    EXPECT_EQ(roundTrip("xlsx"),
              expected(kHeading, "date:2024-03-01 00:00:00", "date:2024-02-29 00:00:00"));
    const std::string cmd = "file -b " + path("sales.xls") + " " + path("sales.xlsx") + " " +
                            path("sales.dbf") + " > " + path("magic.txt");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string magic = slurp(path("magic.txt"));
    EXPECT_NE(magic.find("CDFV2 Microsoft Excel"), std::string::npos) << magic;
    EXPECT_NE(magic.find("Microsoft Excel 2007+"), std::string::npos) << magic;
    EXPECT_NE(magic.find("dBase III"), std::string::npos) << magic;
}

TEST_F(SaveAs, SheetDatesAreTheDaysTheSpreadsheetsCount) {
    // Spreadsheets count 1900-01-01 as day 1 and a 1900-02-29 that never was; a date before
    // 1900 ("no date" in many databases) they cannot hold goes in as its text.
    std::string error;
    ASSERT_EQ(report.Create(R"(release 9;
datawindow(units=0 )
detail(height=80 )
table(column=(type=date name=d dbname="d" ) column=(type=datetime name=t dbname="t" ) )
data("1900-01-01" "1900-01-01 12:00:00" "1900-02-28" "1900-02-28 06:00:00"
 "1900-03-01" "1900-03-01 00:00:00" "1753-01-01" "1899-12-31 23:59:59" )
)",
                            error),
              1)
        << error;
    EXPECT_EQ(roundTrip("xls"),
              "d | t\n"
              "date:1.0 | date:1.5\n"
              "date:59.0 | date:59.25\n"
              "date:61.0 | date:61.0\n"
              "1753-01-01 | 1899-12-31 23:59:59\n");
    EXPECT_EQ(roundTrip("xlsx"),
              "d | t\n"
              "date:1900-01-01 00:00:00 | date:1900-01-01 12:00:00\n"
              "date:1900-02-28 00:00:00 | date:1900-02-28 06:00:00\n"
              "date:1900-03-01 00:00:00 | date:1900-03-01 00:00:00\n"
              "1753-01-01 | 1899-12-31 23:59:59\n");
}

TEST_F(SaveAs, LimitsAreRefusedAndNothingIsCut) {
    // 254 bytes in a dBASE field and 240 in a Lotus label; a Chinese character is two bytes and
    // is never cut in half.
    report.SetItem(1, "goodsname", Value(std::string(253, 'x') + "中"));
    Status dbf = saveReportAs(report, path("a.dbf"), SaveAsType::dBASE3);
    ASSERT_FALSE(dbf.ok());
    EXPECT_EQ(dbf.error().message,
              "row 1, column goodsname: a text of 255 bytes does not fit a dBASE field (at most "
              "254)");
    // The table is marked GBK: a character GBK does not hold is refused, not written in
    // another code page that readers would take for GBK. "丂" is GBK's first character, with
    // 0x80 for its second byte.
    for (const std::string character : {"€", "𠀀"}) {
        report.SetItem(1, "goodsname", Value("丂" + character));
        dbf = saveReportAs(report, path("a.dbf"), SaveAsType::dBASE3);
        ASSERT_FALSE(dbf.ok());
        EXPECT_EQ(dbf.error().message, "row 1, column goodsname: the character '" + character +
                                           "' cannot be written in code page GBK");
    }
    report.SetItem(1, "goodsname", Value("丂"));
    const std::string gbkFirst = "GOODSNAME | AMOUNT | SALEDATE | STOREID | KIND | COST\n丂 | ";
    EXPECT_EQ(roundTrip("dbf").substr(0, gbkFirst.size()), gbkFirst);
    // An ESC would start one of SYLK's own character sequences, and readers would eat it.
    report.SetItem(1, "goodsname", Value(std::string("a") + '\x1B' + "b"));
    Status slk = saveReportAs(report, path("a.slk"), SaveAsType::SYLK);
    ASSERT_FALSE(slk.ok());
    EXPECT_EQ(slk.error().message,
              "row 1, column goodsname: the character ESC (U+001B) cannot be written in a SYLK "
              "file");
    report.SetItem(1, "goodsname", Value(std::string(239, 'x') + "中"));
    Status wk1 = saveReportAs(report, path("a.wk1"), SaveAsType::WK1);
    ASSERT_FALSE(wk1.ok());
    EXPECT_EQ(wk1.error().message,
              "row 1, column goodsname: a text of 241 bytes does not fit a Lotus label (at most "
              "240)");
    report.SetItem(1, "goodsname", Value("短"));
    // Rows: 2,048 in WKS, 65,536 in xls, the heading line counted.
    while (report.RowCount() < 2048) report.InsertRow(0);
    Status wks = saveReportAs(report, path("a.wks"), SaveAsType::WKS);
    ASSERT_FALSE(wks.ok());
    EXPECT_EQ(wks.error().message, "a WKS worksheet holds at most 2048 rows; the report has 2049");
    SaveAsOptions noHeadings;
    noHeadings.headings = false;
    EXPECT_TRUE(saveReportAs(report, path("a.wks"), SaveAsType::WKS, noHeadings).ok());
    while (report.RowCount() < 65536) report.InsertRow(0);
    Status xls = saveReportAs(report, path("a.xls"), SaveAsType::Excel8);
    ASSERT_FALSE(xls.ok());
    EXPECT_EQ(xls.error().message,
              "an Excel 97-2003 worksheet holds at most 65536 rows; the report has 65537");
    for (const char* name : {"a.dbf", "a.slk", "a.wk1", "a.xls"})
        EXPECT_FALSE(fs::exists(path(name)));
}

TEST_F(SaveAs, XlsxTextsArriveAsTheyAreOrAreRefusedAsInXls) {
    // A text that holds the form xlsx uses for a character code reads back as written.
    report.SetItem(1, "goodsname", Value("_x0041_ 与 _x4e2d_x0042_"));
    const std::string back = roundTrip("xlsx");
    const std::string first = "_x0041_ 与 _x4e2d_x0042_ | 12.5 |";
    EXPECT_EQ(back.substr(back.find('\n') + 1, first.size()), first);
    // 32,767 characters as Excel counts them: one beyond the first plane is two.
    std::string faces;
    for (int i = 0; i < 16384; ++i) faces += "😀";
    report.SetItem(1, "goodsname", Value(faces));
    for (const auto& [extension, type] :
         {std::pair{"xls", SaveAsType::Excel8}, std::pair{"xlsx", SaveAsType::XLSX}}) {
        Status s = saveReportAs(report, path(std::string("long.") + extension), type);
        ASSERT_FALSE(s.ok()) << extension;
        EXPECT_EQ(s.error().message,
                  "row 1, column goodsname: a text of 32768 characters does not fit an Excel "
                  "cell (at most 32767)");
    }
}

TEST_F(SaveAs, NumbersASheetCellCannotHoldExactlyAreRefused) {
    // A sheet cell holds a double: these would be read back as other numbers.
    for (const char* number : {"-99999999999999.9999", "123456789012345678"}) {
        report.SetItem(2, "amount", Value(*Decimal::parse(number)));
        for (const auto& [extension, cell] :
             {std::pair{"xls", "an Excel cell"}, std::pair{"xlsx", "an Excel cell"},
              std::pair{"wks", "a Lotus cell"}, std::pair{"wk1", "a Lotus cell"}}) {
            const std::string file = path(std::string("big.") + extension);
            Status s = saveReportAs(report, file, *saveAsTypeForExtension(extension));
            ASSERT_FALSE(s.ok()) << extension;
            EXPECT_EQ(s.error().message, std::string("row 2, column amount: the number ") + number +
                                             " has more digits than " + cell + " holds");
            EXPECT_FALSE(fs::exists(file)) << extension;
        }
    }
    // Fifteen digits and a cent always fit.
    report.SetItem(2, "amount", Value(*Decimal::parse("-9999999999999.99")));
    ASSERT_TRUE(saveReportAs(report, path("fits.xls"), SaveAsType::Excel8).ok());
}

TEST_F(SaveAs, AFailedSaveLeavesNoFileAndKeepsTheOldOne) {
    std::ofstream(path("old.csv")) << "old bytes";
    // A character the code page cannot hold.
    report.SetItem(1, "goodsname", Value("表情😀"));
    SaveAsOptions gbkOptions;
    gbkOptions.codePage = "GBK";
    Status gbk = saveReportAs(report, path("old.csv"), SaveAsType::CSV, gbkOptions);
    ASSERT_FALSE(gbk.ok());
    EXPECT_EQ(gbk.error().message, "row 1: the character '😀' cannot be written in code page GBK");
    EXPECT_EQ(slurp(path("old.csv")), "old bytes");
    // Cancelled half-way.
    SaveAsOptions cancelling;
    cancelling.progress = [](long done, long) { return false; };
    while (report.RowCount() < 5000) report.InsertRow(0);
    Status cancelled = saveReportAs(report, path("old.csv"), SaveAsType::CSV, cancelling);
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().message, "the save was cancelled");
    EXPECT_EQ(slurp(path("old.csv")), "old bytes");
    // A folder that does not exist.
    Status folder = saveReportAs(report, path("no/such.csv"), SaveAsType::CSV);
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().message, "cannot write " + path("no/such.csv") + ": the folder " +
                                          path("no") + " does not exist");
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST_F(SaveAs, SavingOverAFileKeepsItsPermissionsAndLinks) {
    std::ofstream(path("private.xlsx")) << "old";
    ::chmod(path("private.xlsx").c_str(), 0600);
    fs::create_symlink("private.xlsx", path("link.xlsx"));
    ASSERT_TRUE(saveReportAs(report, path("link.xlsx"), SaveAsType::XLSX).ok());
    EXPECT_TRUE(fs::is_symlink(path("link.xlsx")));
    EXPECT_EQ(fs::status(path("private.xlsx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(slurp(path("private.xlsx")).substr(0, 2), "PK");
    ASSERT_EQ(::mkfifo(path("pipe.csv").c_str(), 0600), 0);
    Status pipe = saveReportAs(report, path("pipe.csv"), SaveAsType::CSV);
    ASSERT_FALSE(pipe.ok());
    EXPECT_EQ(pipe.error().message,
              "cannot write " + path("pipe.csv") + ": it is not a regular file");
    EXPECT_TRUE(fs::is_fifo(path("pipe.csv")));
}

TEST_F(SaveAs, TheNextSaveTakesAwayWhatAKilledSaveLeft) {
    // A save killed an hour ago left its temporary file; one under way now writes its own.
    std::ofstream(path(".sales.csv.Ab12Cd")) << "half";
    fs::last_write_time(path(".sales.csv.Ab12Cd"),
                        fs::file_time_type::clock::now() - std::chrono::hours(2));
    std::ofstream(path(".sales.csv.Xy34Zw")) << "writing";
    std::ofstream(path(".other.csv.Ab12Cd")) << "another file's";
    ASSERT_TRUE(saveReportAs(report, path("sales.csv"), SaveAsType::CSV).ok());
    EXPECT_FALSE(fs::exists(path(".sales.csv.Ab12Cd")));
    EXPECT_TRUE(fs::exists(path(".sales.csv.Xy34Zw")));
    EXPECT_TRUE(fs::exists(path(".other.csv.Ab12Cd")));
}

TEST_F(SaveAs, AReportFileOpensAgainWithItsRows) {
    report.SetItem(1, "goodsname", Value("O'Brien ~ \"引号\""));
    ASSERT_TRUE(saveReportAs(report, path("sales.psr"), SaveAsType::PSReport).ok());
    DataStore again;
    Status opened = openReportFile(again, path("sales.psr"));
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    ASSERT_EQ(again.RowCount(), 3);
    EXPECT_EQ(*again.GetItemString(1, "goodsname"), "O'Brien ~ \"引号\"");
    EXPECT_EQ(again.GetItemNumber(2, "amount")->toString(), "-3.75");
    // The masked column's values stay out of the file; its mask stays in.
    EXPECT_TRUE(again.GetItem(1, "cost")->isNull());
    EXPECT_EQ(again.Describe("cost.format"), "***");
    EXPECT_EQ(saveAsTypeForExtension("PSR"), SaveAsType::PSReport);
    EXPECT_EQ(saveAsTypeForExtension("mycsv"), std::nullopt);
    EXPECT_EQ(fileExtension("报表txt"), "");
    EXPECT_EQ(fileExtension("/tmp/a.b/报表"), "");
    EXPECT_EQ(fileExtension("月报.2024.XLSX"), "xlsx");
}

TEST_F(SaveAs, AMetafileOfTheFirstPagePlaysInAnotherProgram) {
    // The amounts are masked for this save: their texts must not reach the picture either.
    SaveAsOptions options;
    options.masked = {"amount"};
    ASSERT_TRUE(saveReportAs(report, path("sales.wmf"), SaveAsType::WMF, options).ok());
    const std::string bytes = slurp(path("sales.wmf"));
    ASSERT_GT(bytes.size(), 40u);
    auto word = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                     static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    // The placeable header's checksum and the metafile's own size in words.
    unsigned sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= word(i);
    EXPECT_EQ(sum, word(20));
    EXPECT_EQ((word(22 + 6) | word(22 + 8) << 16) * 2, bytes.size() - 22);

    // libwmf's player reads it back; its SVG keeps the texts in the code page.
    const std::string cmd = "wmf2svg -o " + path("sales.svg") + " " + path("sales.wmf") + " > " +
                            path("out.txt") + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << slurp(path("out.txt"));
    auto svg = fromCodePage(slurp(path("sales.svg")));
    ASSERT_TRUE(svg.ok());
    EXPECT_NE(svg.value().find(">可口可乐</text>"), std::string::npos) << svg.value();
    EXPECT_NE(svg.value().find(">***</text>"), std::string::npos);
    EXPECT_EQ(svg.value().find("12.50"), std::string::npos);
    EXPECT_EQ(svg.value().find("-3.75"), std::string::npos);
    EXPECT_EQ(saveAsTypeForExtension("WMF"), SaveAsType::WMF);

    // A line longer than a record holds keeps whole characters and still plays.
    report.SetItem(1, "goodsname", Value(std::string(30000, 'x') + std::string("长") + "尾"));
    ASSERT_EQ(report.Modify("goodsname.width=200000"), "");
    ASSERT_TRUE(saveReportAs(report, path("long.wmf"), SaveAsType::WMF).ok());
    const std::string longCmd = "wmf2svg -o " + path("long.svg") + " " + path("long.wmf") + " > " +
                                path("out.txt") + " 2>&1";
    EXPECT_EQ(std::system(longCmd.c_str()), 0) << slurp(path("out.txt"));
}

}  // namespace
}  // namespace print::saveas
