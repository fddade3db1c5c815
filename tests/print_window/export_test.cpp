#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/saveas.h"
#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class NoCostRights : public service::HostServices {
public:
    bool f_coltag_denicolumn(service::HostContext&, std::string_view tag) override {
        return tag != "COST";
    }
};

class Export : public PrintWindowTest {
protected:
    Operator& billOperator() {
        Operator& op = addOperator("A", {}, std::make_unique<NoCostRights>());
        op.host.gs_opergh = "555";
        op.host.gs_path = tempPath("host");
        op.create(op.dw_header, kBillHeader);
        fillHeader(op.dw_header);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        op.create(op.dw_detail2, kGoodsReport);
        fillGifts(op.dw_detail2);
        op.dw_detail.Modify("DataWindow.Table.Select=''");
        return op;
    }
    std::string exportAs(Operator& op, const std::string& file, bool withGifts = false) {
        return op.run(
            [&] {
                if (withGifts)
                    op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail, &op.dw_detail2);
                else
                    op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail);
            },
            "filename " + file + "\nclick uob_saveas\n");
    }
};

TEST_P(Export, MaskedColumnsLeaveAsStarsAndEachFormatIsItself) {
    Operator& a = billOperator();
    exportAs(a, tempPath("bill.csv"), true);
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"提示 | 文档已成功保存为文件 " + tempPath("bill.csv") +
                                        " 。 | None! | OK! -> 1"}));
    const std::string csv = slurp(tempPath("bill.csv"));
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "rowno,goodsname,qty,price,amount");
    EXPECT_EQ(csv.find("2.5"), std::string::npos);  // the cost price stays in the window
    EXPECT_NE(csv.find(",***,"), std::string::npos);
    // Seven rows: the gift rows too, and masked as well.
    size_t lines = 0;
    for (size_t p = 0; (p = csv.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 8u);

    // An extension in capitals names the format; the file is a real workbook.
    exportAs(a, tempPath("BILL.XLS"));
    EXPECT_EQ(slurp(tempPath("BILL.XLS")).substr(0, 8),
              std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    exportAs(a, tempPath("bill.xlsx"));
    EXPECT_EQ(slurp(tempPath("bill.xlsx")).substr(0, 2), "PK");
    a.boxes();
}

TEST_P(Export, TheExtensionIsWhatFollowsTheLastPoint) {
    Operator& a = billOperator();
    exportAs(a, tempPath("报表txt"));
    exportAs(a, tempPath("mycsv"));
    exportAs(a, tempPath("a.ps"));
    for (const std::string& box : a.boxes())
        EXPECT_EQ(box, "错误 | 文件名称不合法，请输入正确的文件名！ | StopSign! | OK! -> 1");
    EXPECT_FALSE(std::filesystem::exists(tempPath("报表txt")));
    // Cancelling the dialog does nothing.
    a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
          "filename\nclick uob_saveas\n");
    EXPECT_TRUE(a.boxes().empty());
    EXPECT_EQ(a.services.fileDialogs().back().title, "保存文件");
    EXPECT_EQ(a.services.fileDialogs().back().directory, tempPath("host") + "/OUTDATA");
    EXPECT_EQ(a.services.fileDialogs().back().filters, w_print::exportFilters());
}

TEST_P(Export, APdfIsThePrintedPagesWithoutTheDesignersMarks) {
    Operator& a = billOperator();
    std::string written;
    std::string syntax;
    a.services.pdfWriter = [&](const platform::PrintJob& job, const std::string& path,
                               std::string& error) {
        written = path;
        syntax = job.report->Describe("DataWindow.Syntax");
        error = "the disk is full";
        return path.find("full") == std::string::npos ? 1 : -1;
    };
    // A selection on screen is gone before the pages are drawn.
    a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
          "mouse down @st_repname 10 10\nmouse up @st_repname 10 10\nfilename " +
              tempPath("bill.pdf") + "\nclick uob_saveas\n");
    EXPECT_EQ(written, tempPath("bill.pdf"));
    EXPECT_NE(syntax.find("st_repname"), std::string::npos);
    EXPECT_EQ(syntax.find("bw__"), std::string::npos);
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"提示 | 文档已成功保存为文件 " + tempPath("bill.pdf") +
                                        " 。 | None! | OK! -> 1"}));
    a.runWith([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              [&](w_print& w) {
                  a.services.queueFileName(tempPath("full.pdf"));
                  EXPECT_EQ(w.wf_saveas(), -1);
                  EXPECT_EQ(w.lastExportError(), "the disk is full");
              });
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 文档保存失败！\\nthe disk is full | StopSign! | OK! -> 1"}));
}

TEST_P(Export, AFailedExportSaysSoAndLeavesTheOldFile) {
    Operator& a = billOperator();
    std::ofstream(tempPath("old.txt")) << "old";
    a.runWith([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              [&](w_print& w) {
                  engine::DataWindowChild* list = nullptr;
                  ASSERT_EQ(w.dw_preview.GetChild("dw_report", list), 1);
                  list->SetItem(1, "goodsname", Value(std::string(300, 'x')));
                  a.services.queueFileName(tempPath("old.dbf"));
                  EXPECT_EQ(w.wf_saveas(), -1);
                  EXPECT_EQ(w.lastExportError(),
                            "row 1, column goodsname: a text of 300 bytes does not fit a dBASE "
                            "field (at most 254)");
                  a.services.queueFileName(tempPath("no/such/old.txt"));
                  EXPECT_EQ(w.wf_saveas(), -1);
                  list->SetItem(1, "goodsname", Value(std::string("欧元€")));
                  a.services.queueFileName(tempPath("old.dbf"));
                  EXPECT_EQ(w.wf_saveas(), -1);
                  std::filesystem::create_directories(tempPath("folder.csv"));
                  a.services.queueFileName(tempPath("folder.csv"));
                  EXPECT_EQ(w.wf_saveas(), -1);
                  // A cancelled export leaves nothing, and says so without an alarm.
                  a.services.cancelProgressAfter(1);
                  a.services.queueFileName(tempPath("old.txt"));
                  EXPECT_EQ(w.wf_saveas(), 0);
                  EXPECT_EQ(w.lastExportError(), "the save was cancelled");
              });
    EXPECT_FALSE(std::filesystem::exists(tempPath("old.dbf")));
    EXPECT_EQ(slurp(tempPath("old.txt")), "old");
    // The second line says why, in the operator's words: the value by its row and heading,
    // the file and what is wrong with it.
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "提示 | 文档保存失败！\\n第 1 行“商品名称”列：这段文字有 300 字节，dBase "
                  "字段最多容纳 254 字节，文件不能写入。 | StopSign! | OK! -> 1",
                  "提示 | 文档保存失败！\\n不能写入文件 " + tempPath("no/such/old.txt") +
                      "：文件夹 " + tempPath("no/such") + " 不存在。 | StopSign! | OK! -> 1",
                  "提示 | 文档保存失败！\\n第 1 行“商品名称”列：字符“€”不能用 GBK 编码写入，"
                  "文件不能写入。 | StopSign! | OK! -> 1",
                  "提示 | 文档保存失败！\\n不能写入文件 " + tempPath("folder.csv") +
                      "：这是一个文件夹。 | StopSign! | OK! -> 1",
                  "提示 | 已取消保存，没有写入文件。 | None! | OK! -> 1"}));
}

// Each reason the exports give, as the operator reads it; what is not known stays as it is.
TEST(ExportReasons, TheOperatorReadsWhyInChinese) {
    engine::DataStore none;
    const std::pair<const char*, const char*> reasons[] = {
        {"row 2, column amount: the number 123456789012345678 has more digits than an Excel "
         "cell holds",
         "第 2 行“amount”列：数字 123456789012345678 的位数超过了 Excel 单元格能准确保存的位数，"
         "文件不能写入。"},
        {"row 2, column amount: the number -99999999999999.9999 has more digits than a Lotus "
         "cell holds",
         "第 2 行“amount”列：数字 -99999999999999.9999 的位数超过了 Lotus 1-2-3 "
         "单元格能准确保存的位数，文件不能写入。"},
        {"row 1, column goodsname: a text of 32768 characters does not fit an Excel cell (at "
         "most 32767)",
         "第 1 行“goodsname”列：这段文字有 32768 个字符，Excel 单元格最多容纳 32,767 "
         "个字符，文件不能写入。"},
        {"row 1, column goodsname: a text of 241 bytes does not fit a Lotus label (at most 240)",
         "第 1 行“goodsname”列：这段文字有 241 字节，Lotus 1-2-3 单元格最多容纳 240 "
         "字节，文件不能写入。"},
        {"row 1, column goodsname: the character ESC (U+001B) cannot be written in a SYLK file",
         "第 1 行“goodsname”列：控制字符 ESC 不能写入 SYLK 文件，文件不能写入。"},
        {"row 3, column qty: the number 123456789012345678901.5 does not fit a dBASE field (at "
         "most 20 characters)",
         "第 3 行“qty”列：数字 123456789012345678901.5 超过了 dBase 字段的 20 "
         "个字符，文件不能写入。"},
        {"a dBASE table holds at most 128 fields; the report has 130",
         "dBase 文件最多容纳 128 个字段，这份报表有 130 列；Excel 工作簿 (*.xlsx) "
         "能容纳整份报表。"},
        {"a Lotus worksheet holds at most 256 columns; the report has 300",
         "Lotus 1-2-3 文件最多容纳 256 列，这份报表有 300 列；Excel 工作簿 (*.xlsx) "
         "能容纳整份报表。"},
        {"cannot write /data/月报.xls: No space left on device",
         "不能写入文件 /data/月报.xls：磁盘已满。"},
        {"cannot write /data/a: b.csv: Permission denied",
         "不能写入文件 /data/a: b.csv：没有写入这个文件或文件夹的权限。"},
        {"cannot write /data/x.csv: Stale file handle",
         "不能写入文件 /data/x.csv：Stale file handle。"},
        {"nothing to print: no page in the page range \"9-12\" (the report has 1 page)",
         "页码范围“9-12”中没有可保存的页（报表共1页）。"},
        {"nothing to print: no even page (the report has 1 page)",
         "没有可保存的偶数页（报表共1页）。"},
        {"the page range \"1-\" is not valid: give pages and ranges such as 1,3,5-10",
         "页码范围“1-”不正确，请输入页码和范围，如 1,3,5-10。"},
        {"there is not enough memory to lay out page 7", "内存不足，排不出第 7 页。"},
        {"the disk is full", "the disk is full"},
    };
    for (const auto& [english, chinese] : reasons)
        EXPECT_EQ(w_print::whyNotSaved(english, none), chinese) << english;
    // A folder as deep as a path may be.
    const std::string deep = "/data" + std::string(4000, 'd');
    EXPECT_EQ(w_print::whyNotSaved(
                  "cannot write " + deep + "/x.csv: the folder " + deep + " does not exist", none),
              "不能写入文件 " + deep + "/x.csv：文件夹 " + deep + " 不存在。");
}

TEST_P(Export, AnXlsOfMoreRowsThanTheFormatHoldsSaysSoAndNamesXlsx) {
    Operator& a = billOperator();
    a.runWith([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              [&](w_print& w) {
                  engine::DataWindowChild* list = nullptr;
                  ASSERT_EQ(w.dw_preview.GetChild("dw_report", list), 1);
                  // With the heading line, one row more than a sheet holds.
                  while (list->RowCount() < 65536)
                      list->RowsCopy(1, std::min(list->RowCount(), 65536 - list->RowCount()),
                                     engine::Buffer::Primary, *list, list->RowCount() + 1,
                                     engine::Buffer::Primary);
                  a.services.queueFileName(tempPath("big.xls"));
                  EXPECT_EQ(w.wf_saveas(), -1);
              });
    EXPECT_FALSE(std::filesystem::exists(tempPath("big.xls")));
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 文档保存失败！\\nExcel 97-2003 文件 (*.xls) 最多容纳 65,536 "
                             "行，这份报表连标题共 65,537 行；Excel 工作簿 (*.xlsx) 能容纳整份报表"
                             "。 | StopSign! | OK! -> 1"}));
}

TEST_P(Export, AReportFileHoldsTheReportWithoutMarkersAndOpensAgain) {
    Operator& a = billOperator();
    a.runWith([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              [&](w_print& w) {
                  // A selection with its markers, as the designer leaves it.
                  w.is_select = {"st_repname"};
                  w.ii_select = 1;
                  w.wf_redrawfocus();
                  ASSERT_EQ(w.dw_preview.Describe("bw__dot_st_repname_1.x") == "!", false);
                  a.services.queueFileName(tempPath("bill.psr"));
                  EXPECT_EQ(w.wf_saveas(), 1);
                  EXPECT_FALSE(w.ib_convert);  // a report file keeps the code values
              });
    const std::string file = slurp(tempPath("bill.psr"));
    EXPECT_EQ(file.find("bw__"), std::string::npos);
    engine::DataStore again;
    Status opened = saveas::openReportFile(again, tempPath("bill.psr"));
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    engine::DataWindowChild* list = nullptr;
    ASSERT_EQ(again.GetChild("dw_report", list), 1);
    EXPECT_EQ(list->RowCount(), 5);
    EXPECT_EQ(*list->GetItemString(3, "goodsname"), "O'Brien 饼干");
    EXPECT_TRUE(list->GetItem(1, "price")->isNull());  // masked
}

PRINT_DB_BACKENDS(Export);

}  // namespace
}  // namespace print::print_window::test
