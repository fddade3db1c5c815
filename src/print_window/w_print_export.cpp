// Exporting the shown report to a file: a report file of our own, or the list's rows in the
// format the file's extension names.
#include <filesystem>
#include <optional>
#include <regex>

#include "common/text.h"
#include "export/saveas.h"
#include "print_service/nvo_commdlg.h"
#include "print_window/w_print.h"

namespace print::print_window {

using platform::Icon;
using platform::Pointer;
using platform::PointerGuard;

namespace {

const char* const kFilters =
    "Microsoft Excel文件 (*.xls),*.xls,"
    "报表文件 (*.psr),*.psr,"
    "CSV文件(逗号分隔) (*.csv),*.csv,"
    "数据内部交换文件 (*.dif),*.dif,"
    "Web 页文件 (*.htm),*.htm,"
    "文本文件(Tab分隔) (*.txt),*.txt,"
    "dBase III 文件 (*.dbf),*.dbf,"
    "Windows 元文件 (*.wmf),*.wmf,"
    "SYLK 符号链接文件 (*.slk),*.slk,"
    "Lotus 1-2-3 文件 (*.wks),*.wks,"
    "Lotus 1-2-3 文件 (*.wk1),*.wk1,"
    "Excel 工作簿 (*.xlsx),*.xlsx,"
    "PDF 文件 (*.pdf),*.pdf";

// The data formats, by extension; psr is the report file.
const char* const kDataExtensions[] = {"xls", "csv", "dif", "htm", "txt", "dbf",
                                       "wmf", "slk", "wks", "wk1", "xlsx"};

// A number with a comma between each three digits, as the operator reads counts.
std::string grouped(const std::string& digits) {
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// What the folder and file errors of the system say, in the operator's words; an error the
// system names otherwise is shown as it says it.
std::string systemReason(const std::string& why) {
    static const std::pair<const char*, const char*> kReasons[] = {
        {"it is a folder", "这是一个文件夹"},
        {"it is not a regular file", "这不是一个普通文件"},
        {"Permission denied", "没有写入这个文件或文件夹的权限"},
        {"Operation not permitted", "没有写入这个文件或文件夹的权限"},
        {"No space left on device", "磁盘已满"},
        {"Disk quota exceeded", "磁盘配额已用完"},
        {"Read-only file system", "文件所在的磁盘只能读，不能写"},
        {"File name too long", "文件名太长"},
        {"Too many levels of symbolic links", "符号链接的层次太多"},
        {"Input/output error", "读写磁盘出错"},
    };
    for (const auto& [english, chinese] : kReasons)
        if (why == english) return chinese;
    // A path may be thousands of characters long: read without a regular expression.
    const std::string_view folder = "the folder ", missing = " does not exist";
    if (why.size() > folder.size() + missing.size() && why.starts_with(folder) &&
        why.ends_with(missing))
        return "文件夹 " + why.substr(folder.size(), why.size() - folder.size() - missing.size()) +
               " 不存在";
    return why;
}

// Why one value of the report cannot be written, in the operator's words; empty when the
// reason is not one of these.
std::string valueReason(const std::string& why) {
    static const std::pair<std::regex, const char*> kReasons[] = {
        {std::regex("the character '(.*)' cannot be written in code page (.*)"),
         "字符“$1”不能用 $2 编码写入"},
        {std::regex("the character ESC \\(U\\+001B\\) cannot be written in a SYLK file"),
         "控制字符 ESC 不能写入 SYLK 文件"},
        {std::regex("the number (.*) has more digits than an Excel cell holds"),
         "数字 $1 的位数超过了 Excel 单元格能准确保存的位数"},
        {std::regex("the number (.*) has more digits than a Lotus cell holds"),
         "数字 $1 的位数超过了 Lotus 1-2-3 单元格能准确保存的位数"},
        {std::regex("a text of (\\d+) characters does not fit an Excel cell \\(at most 32767\\)"),
         "这段文字有 $1 个字符，Excel 单元格最多容纳 32,767 个字符"},
        {std::regex("a text of (\\d+) bytes does not fit a dBASE field \\(at most 254\\)"),
         "这段文字有 $1 字节，dBase 字段最多容纳 254 字节"},
        {std::regex("the number (.*) does not fit a dBASE field \\(at most 20 characters\\)"),
         "数字 $1 超过了 dBase 字段的 20 个字符"},
        {std::regex("a text of (\\d+) bytes does not fit a Lotus label \\(at most 240\\)"),
         "这段文字有 $1 字节，Lotus 1-2-3 单元格最多容纳 240 字节"},
    };
    for (const auto& [pattern, chinese] : kReasons)
        if (std::regex_match(why, pattern)) return std::regex_replace(why, pattern, chinese);
    return {};
}

}  // namespace

// Why a save failed, in the operator's words: the limits of the formats the export names
// (with the format that holds the report), the value that cannot be written and where it is,
// and the file that cannot be written and why; else the export's own reason.
std::string w_print::whyNotSaved(const std::string& message, engine::DataStore& exported) {
    auto countAfter = [&](const std::string& prefix) -> std::optional<std::string> {
        if (message.rfind(prefix, 0) != 0) return std::nullopt;
        const size_t at = message.rfind(' ');
        return grouped(message.substr(at + 1));
    };
    if (auto rows = countAfter("an Excel 97-2003 worksheet holds at most 65536 rows"))
        return "Excel 97-2003 文件 (*.xls) 最多容纳 65,536 行，这份报表连标题共 " + *rows +
               " 行；Excel 工作簿 (*.xlsx) 能容纳整份报表。";
    if (auto columns = countAfter("an Excel 97-2003 worksheet holds at most 256 columns"))
        return "Excel 97-2003 文件 (*.xls) 最多容纳 256 列，这份报表有 " + *columns +
               " 列；Excel 工作簿 (*.xlsx) 能容纳整份报表。";
    if (auto rows = countAfter("an Excel worksheet holds at most 1048576 rows"))
        return "Excel 工作簿最多容纳 1,048,576 行，这份报表连标题共 " + *rows +
               " 行；文本文件 (*.txt) 或 CSV 文件 (*.csv) 能容纳整份报表。";
    if (message == "an Excel worksheet holds at most 16384 columns")
        return "Excel 工作簿最多容纳 16,384 列，这份报表的列更多；文本文件 (*.txt) 或 CSV 文件 "
               "(*.csv) 能容纳整份报表。";
    for (const char* lotus : {"a WKS worksheet holds at most", "a WK1 worksheet holds at most"}) {
        if (message.rfind(lotus, 0) != 0) continue;
        const std::string limit = message.substr(
            std::string(lotus).size() + 1,
            message.find(' ', std::string(lotus).size() + 1) - std::string(lotus).size() - 1);
        return "Lotus 1-2-3 文件最多容纳 " + grouped(limit) + " 行，这份报表连标题共 " +
               *countAfter(lotus) + " 行；Excel 工作簿 (*.xlsx) 能容纳整份报表。";
    }
    if (auto columns = countAfter("a Lotus worksheet holds at most 256 columns"))
        return "Lotus 1-2-3 文件最多容纳 256 列，这份报表有 " + *columns +
               " 列；Excel 工作簿 (*.xlsx) 能容纳整份报表。";
    if (auto columns = countAfter("a dBASE table holds at most 128 fields"))
        return "dBase 文件最多容纳 128 个字段，这份报表有 " + *columns +
               " 列；Excel 工作簿 (*.xlsx) 能容纳整份报表。";
    // The pages of a PDF: a page range that selects none, or that cannot be read.
    static const std::regex kNoPage(
        "nothing to print: no (odd |even )?page( in the page range \"(.*)\")? \\(the report "
        "has (\\d+) pages?\\)");
    std::smatch pages;
    if (std::regex_match(message, pages, kNoPage)) {
        const std::string which = pages.str(1) == "odd "    ? "奇数页"
                                  : pages.str(1) == "even " ? "偶数页"
                                                            : "页";
        const std::string range = pages[3].matched ? "页码范围“" + pages.str(3) + "”中" : "";
        return range + "没有可保存的" + which + "（报表共" + pages.str(4) + "页）。";
    }
    static const std::regex kBadRange(
        "the page range \"(.*)\" is not valid: give pages and ranges such as 1,3,5-10");
    if (std::regex_match(message, pages, kBadRange))
        return "页码范围“" + pages.str(1) + "”不正确，请输入页码和范围，如 1,3,5-10。";
    static const std::regex kNoMemory("there is not enough memory to lay out page (\\d+)");
    if (std::regex_match(message, pages, kNoMemory))
        return "内存不足，排不出第 " + pages.str(1) + " 页。";
    if (message.rfind("there is not enough memory", 0) == 0) return "内存不足。";

    if (message == "a dBASE record holds at most 4000 bytes")
        return "dBase 文件的一条记录最多 4,000 字节，这份报表的一行更长；Excel 工作簿 (*.xlsx) "
               "能容纳整份报表。";

    // A value: "row R, column C: why" or "row R: why". The column is named by its heading
    // when it has one, as the operator sees it.
    static const std::regex kAtValue("row (\\d+)(?:, column ([^:]+))?: (.*)");
    std::smatch at;
    if (std::regex_match(message, at, kAtValue)) {
        const std::string reason = valueReason(at.str(3));
        if (!reason.empty()) {
            std::string where = "第 " + at.str(1) + " 行";
            if (at[2].matched) {
                std::string heading = trim(exported.Describe(at.str(2) + "_t.Text"));
                if (heading.empty() || heading == "!" || heading == "?") heading = at.str(2);
                where += "“" + heading + "”列";
            }
            return where + "：" + reason + "，文件不能写入。";
        }
    }
    const std::string reason = valueReason(message);
    if (!reason.empty()) return reason + "，文件不能写入。";

    // The file: "cannot write PATH: why", where PATH may hold ": " too; the reason is the
    // first that is known, else all after the first ": ".
    const std::string_view cannotWrite = "cannot write ";
    if (message.rfind(cannotWrite, 0) != 0) return message;
    const size_t first = message.find(": ", cannotWrite.size());
    if (first == std::string::npos) return message;
    for (size_t at = first; at != std::string::npos; at = message.find(": ", at + 1)) {
        const std::string why = message.substr(at + 2);
        const std::string reason = systemReason(why);
        if (reason != why)
            return "不能写入文件 " + message.substr(cannotWrite.size(), at - cannotWrite.size()) +
                   "：" + reason + "。";
    }
    return "不能写入文件 " + message.substr(cannotWrite.size(), first - cannotWrite.size()) + "：" +
           message.substr(first + 2) + "。";
}

const char* w_print::exportFilters() {
    return kFilters;
}

int w_print::wf_saveas() {
    if (!m_reportLoaded) {
        ui().messageBox("错误", "没有装入报表，不能保存为文件！", Icon::StopSign);
        return -1;
    }
    // Markers of the designer never reach a file.
    wf_clearselect();
    std::string directory = (std::filesystem::path(m_host.gs_path) / "OUTDATA").string();
    std::string fileName;
    service::nvo_commdlg dialog(ui());
    if (dialog.of_getfilesavename("保存文件", directory, fileName, kFilters, 1) != 1) return 0;
    const std::string fullName = (std::filesystem::path(directory) / fileName).string();
    const std::string extension = saveas::fileExtension(fileName);

    saveas::SaveAsOptions options;
    options.masked = m_masked;
    options.progress = [this](long done, long total) {
        return ui().progress("保存文件", done, total);
    };
    Status saved = Error{"not saved"};
    if (extension == "pdf") {
        // The pages as they would print, with the settings and page range in force, by the
        // writer of every PDF the component makes.
        if (refuseTallBand("不能保存为文件！")) return -1;
        PointerGuard pointer(ui(), Pointer::HourGlass);
        platform::PrintJob job;
        job.report = &dw_preview;
        job.documentName = dw_preview.Describe("DataWindow.Print.DocumentName");
        if (job.documentName == "!" || job.documentName == "?") job.documentName.clear();
        std::string error;
        const int written = ui().writePdf(job, fullName, error);
        saved = written == 1   ? Status::success()
                : written == 0 ? Status(Error{saveas::kSaveCancelled})
                               : Status(Error{error});
    } else if (extension == "psr") {
        options.headings = false;
        PointerGuard pointer(ui(), Pointer::HourGlass);
        saved = saveas::saveReportAs(dw_preview, fullName, saveas::SaveAsType::PSReport, options);
    } else {
        engine::DataWindowChild* list = nullptr;
        if (dw_preview.GetChild("dw_report", list) != 1 || !list) {
            ui().messageBox("错误", "文件格式发生错误！", Icon::StopSign);
            return -1;
        }
        const bool known = std::find(std::begin(kDataExtensions), std::end(kDataExtensions),
                                     extension) != std::end(kDataExtensions);
        const auto type = saveas::saveAsTypeForExtension(extension);
        if (!known || !type) {
            ui().messageBox("错误", "文件名称不合法，请输入正确的文件名！", Icon::StopSign);
            return -1;
        }
        PointerGuard pointer(ui(), Pointer::HourGlass);
        if (!ib_convert) {
            wf_display(*list);
            ib_convert = true;
        }
        // Nothing is written from rows that did not arrive whole. A report the host made from
        // syntax has no name to load: the list's own definition stands in for it.
        bool assigned = !is_printdw.empty() && dw_1.setDataObject(is_printdw) == 1;
        if (!assigned) {
            std::string error;
            assigned = dw_1.Create(list->Describe("DataWindow.Syntax"), error) == 1;
        }
        dw_1.SetTransObject(&m_host.sqlca);
        const bool copied =
            assigned &&
            (list->RowCount() == 0 || list->RowsCopy(1, list->RowCount(), engine::Buffer::Primary,
                                                     dw_1, 1, engine::Buffer::Primary) == 1);
        if (copied) {
            wf_display_dw(dw_1);
            saved = saveas::saveReportAs(dw_1, fullName, *type, options);
        }
    }
    ui().progress("保存文件", 1, 1);
    if (saved) {
        ui().messageBox("提示", "文档已成功保存为文件 " + fullName + " 。");
        return 1;
    }
    m_lastExportError = saved.error().message;
    if (m_lastExportError == saveas::kSaveCancelled) {
        // The operator stopped it: nothing was written, and nothing went wrong.
        ui().messageBox("提示", "已取消保存，没有写入文件。");
        return 0;
    }
    ui().messageBox("提示", "文档保存失败！\n" + whyNotSaved(m_lastExportError, dw_1),
                    Icon::StopSign);
    return -1;
}

}  // namespace print::print_window
