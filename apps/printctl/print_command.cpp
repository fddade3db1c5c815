// printctl print: one whole print request through the print service and the print window on
// the headless window layer, as a host would make it; prints to a PDF file or a printer, or
// plays operator actions from a script first.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "common/encoding.h"
#include "common/text.h"
#include "engine/library.h"
#include "input_file.h"
#include "platform/headless_services.h"
#include "platform/operator_script.h"
#include "print_output.h"
#include "print_service/host_context.h"
#include "print_window/w_print.h"
#include "report_defs/report_defs.h"

namespace printctl {
namespace {

using print::Value;
using print::platform::DataWindowControl;

struct PrintOptions {
    std::string db;
    std::string lib;
    std::string oper;
    std::string bill;
    std::string header;
    std::string detail;
    std::string detail2;
    bool charge = false;
    std::string report;
    std::string head;
    std::string docname;
    bool docnameGiven = false;
    std::vector<std::string> args;
    std::vector<std::string> hostValues;
    std::vector<std::string> accessory;
    std::vector<std::string> defs;
    std::string pdf;
    std::string printer;
    bool dump = false;
    std::string script;
    std::string dwname;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole of a definition or script file (regular files of bounded size only).
std::string readInputFile(const std::string& path) {
    auto read = printctl::readInputFile(path);
    if (!read) throw UsageError(read.error().message);
    return std::move(read).value();
}

std::string readDefinition(const std::string& path) {
    auto decoded = print::decodeTextFile(readInputFile(path), "");
    if (!decoded.ok()) throw UsageError(path + ": " + decoded.error().describe());
    return std::move(decoded).value();
}

// The data object name a host gives a window made from `path`: the file's name without its
// extension (d_x.srd gives d_x).
std::string dataObjectName(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// The names of a definition's retrieval arguments, in their order.
std::vector<std::string> argumentNames(print::engine::DataStore& dw) {
    std::vector<std::string> names;
    const std::string raw = dw.Describe("DataWindow.Table.Arguments");
    size_t i = 0;
    while ((i = raw.find('(', i)) != std::string::npos) {
        size_t start = i + 1;
        while (start < raw.size() && (raw[start] == '(' || raw[start] == ' ')) ++start;
        size_t end = raw.find_first_of(",)", start);
        if (end == std::string::npos) break;
        std::string name = print::trim(std::string_view(raw).substr(start, end - start));
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\''))
            name = name.substr(1, name.size() - 2);
        if (!name.empty()) names.push_back(name);
        i = raw.find(')', end);
        if (i == std::string::npos) break;
        ++i;
    }
    return names;
}

// Creates a host DataWindow from a definition file under the data object name `name` (as a
// host's window has one: report templates are filed by it) and retrieves it when it has a
// query.
void loadHostWindow(DataWindowControl& dw, const std::string& path, const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& args,
                    print::db::Transaction& sqlca, print::engine::MemoryLibrary& hostDefinitions) {
    const std::string text = readDefinition(path);
    std::string error;
    if (dw.Create(text, error) != 1) throw UsageError(path + ": " + error);
    if (name.empty()) throw UsageError(path + ": the window needs a data object name (--dwname)");
    for (const print::report_defs::Definition& own : print::report_defs::definitions())
        if (print::iequals(own.name, name))
            throw UsageError(path + ": " + name +
                             " is a definition of the print component: name the window "
                             "otherwise (--dwname for the report or the bill's detail)");
    hostDefinitions.put(name, text);
    if (dw.setDataObject(name) != 1) throw UsageError(path + ": " + dw.lastError());
    dw.SetTransObject(&sqlca);
    if (dw.Describe("DataWindow.Table.Select") == "?") return;
    std::vector<Value> values;
    for (const std::string& name : argumentNames(dw)) {
        auto it = std::find_if(args.begin(), args.end(),
                               [&](const auto& a) { return print::iequals(a.first, name); });
        if (it == args.end())
            throw UsageError(path + " needs the retrieval argument " + name + " (--arg " + name +
                             "=VALUE)");
        values.emplace_back(it->second);
    }
    if (dw.Retrieve(values) < 0) throw UsageError(path + ": " + dw.lastError());
}

void setHostValue(print::service::HostContext& host, const std::string& assignment) {
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos) throw UsageError("--host needs gs_NAME=VALUE: " + assignment);
    const std::string name = print::asciiLower(assignment.substr(0, eq));
    const std::string value = assignment.substr(eq + 1);
    std::string* target = nullptr;
    if (name == "gs_incqc") target = &host.gs_incqc;
    if (name == "gs_opergh") target = &host.gs_opergh;
    if (name == "gs_opername") target = &host.gs_opername;
    if (name == "gs_role") target = &host.gs_role;
    if (name == "gs_isbillprinttmp") target = &host.gs_isbillprinttmp;
    if (name == "gs_appid") target = &host.gs_appid;
    if (name == "gs_path") target = &host.gs_path;
    if (!target)
        throw UsageError(
            "--host knows gs_incqc, gs_opergh, gs_opername, gs_role, "
            "gs_isbillprinttmp, gs_appid and gs_path, not " +
            assignment.substr(0, eq));
    *target = value;
}

int runPrint(const PrintOptions& o) {
    namespace platform = print::platform;
    // The schema keeps an operator id in 20 characters; PostgreSQL would refuse a longer one
    // only when a template is saved, SQLite would keep it.
    if (print::trim(o.oper).empty()) throw UsageError("--operator needs an operator id");
    if (print::utf8Length(o.oper) > kMaxOperatorLength)
        throw UsageError("--operator is longer than " + std::to_string(kMaxOperatorLength) +
                         " characters: " + o.oper);
    if (o.bill.empty() == o.report.empty())
        throw UsageError("give either --bill (with --header and --detail) or --report");
    if (!o.bill.empty() && (o.header.empty() || o.detail.empty()))
        throw UsageError("--bill needs --header and --detail");
    if (!o.pdf.empty() && !o.printer.empty()) throw UsageError("give --pdf or --printer, not both");
    if (o.script.empty() && o.pdf.empty() && o.printer.empty() && !o.dump)
        throw UsageError("give --pdf, --printer or --dump (or a --script that says what to do)");

    std::vector<std::pair<std::string, std::string>> args;
    for (const std::string& a : o.args) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) throw UsageError("--arg needs NAME=VALUE: " + a);
        args.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }

    if (!o.pdf.empty() || !o.printer.empty() || o.dump) PrintOutput::prepare();

    platform::HeadlessServices services;
    services.setUnansweredPolicy(platform::UnansweredBox::LastButton);
    services.onMessageBox = [](const platform::MessageBoxRecord& box) {
        std::cerr << "message: " << box.describe() << "\n";
    };
    // Long exports and prints show how far they are, on a terminal only: a log keeps its lines.
    if (::isatty(STDERR_FILENO)) {
        services.onProgress = [](std::string_view title, long done, long total) {
            if (done >= total)
                std::cerr << "\r\033[K";
            else
                std::cerr << "\r" << title << ": " << done << " / " << total << std::flush;
        };
    }
    print::service::HostContext host(services);
    host.gs_operid = o.oper;
    for (const std::string& h : o.hostValues) setHostValue(host, h);
    print::print_window::installPrintWindow(host);
    print::report_defs::install();

    auto& list = print::engine::LibrarySearchList::application();
    // The host's windows, each under its data object name, before anything else of the host.
    auto hostDefinitions = std::make_shared<print::engine::MemoryLibrary>("(printctl)");
    list.append(hostDefinitions);
    for (const std::string& dir : o.defs)
        list.append(std::make_shared<print::engine::FolderLibrary>(dir));
    for (const std::string& file : {o.header, o.detail, o.detail2, o.report, o.head}) {
        if (file.empty()) continue;
        const std::string folder = std::filesystem::path(file).parent_path().string();
        list.append(std::make_shared<print::engine::FolderLibrary>(folder.empty() ? "." : folder));
    }
    if (host.sqlca.connect(o.db, {.createSqliteFile = false}) != 0)
        throw UsageError(host.sqlca.sqlErrText());
    if (host.gnu_print.of_setprintlib(o.lib) != 1)
        throw UsageError("cannot open or create the print library " + o.lib);

    platform::Window hostWindow("w_host");
    DataWindowControl dwHeader(&hostWindow, "dw_header");
    DataWindowControl dwDetail(&hostWindow, "dw_detail");
    DataWindowControl dwDetail2(&hostWindow, "dw_detail2");

    PrintOutput output(o.pdf, o.printer, o.dump);
    services.printer = [&](const platform::PrintJob& job) { return output.print(job); };
    services.pdfWriter = [](const platform::PrintJob& job, const std::string& path,
                            std::string& error) { return PrintOutput::writePdf(job, path, error); };

    std::istringstream scriptFile;
    platform::HeadlessDriver driver(services);
    std::unique_ptr<platform::OperatorScript> script;
    if (!o.script.empty()) {
        scriptFile.str(readInputFile(o.script));
        script = std::make_unique<platform::OperatorScript>(driver, scriptFile, std::cout,
                                                            std::cerr);
        services.modalInteraction = [&](platform::Window& window) { script->run(window); };
    } else {
        services.modalInteraction = [](platform::Window& window) {
            if (window.name() != "w_print") return;
            if (auto* button = window.find("uob_print")) button->clicked();
        };
    }

    auto load = [&](DataWindowControl& dw, const std::string& path, bool detail) {
        const std::string name = detail && !o.dwname.empty() ? o.dwname : dataObjectName(path);
        loadHostWindow(dw, path, name, args, host.sqlca, *hostDefinitions);
    };
    if (!o.bill.empty()) {
        load(dwHeader, o.header, false);
        load(dwDetail, o.detail, true);
        if (!o.detail2.empty()) load(dwDetail2, o.detail2, false);
        if (!o.accessory.empty() && o.detail2.empty())
            host.gnu_print.of_print(o.bill, &dwHeader, &dwDetail, o.accessory);
        else if (!o.accessory.empty())
            host.gnu_print.of_print(o.bill, &dwHeader, &dwDetail, &dwDetail2, o.accessory);
        else if (!o.detail2.empty() || o.charge)
            host.gnu_print.of_print(o.bill, &dwHeader, &dwDetail,
                                    o.detail2.empty() ? nullptr : &dwDetail2,
                                    std::string(o.charge ? "Y" : "N"));
        else
            host.gnu_print.of_print(o.bill, &dwHeader, &dwDetail);
    } else {
        load(dwDetail, o.report, true);
        if (!o.head.empty()) load(dwHeader, o.head, false);
        DataWindowControl* head = o.head.empty() ? nullptr : &dwHeader;
        if (o.docnameGiven)
            host.gnu_print.of_print(&dwDetail, head, o.docname);
        else
            host.gnu_print.of_print(&dwDetail, head);
    }

    bool ok = !services.stopSignShown() && output.failures() == 0;
    if (script && script->failed()) return 2;
    if (o.script.empty() && output.printed() == 0) {
        std::cerr << "error: nothing was printed\n";
        ok = false;
    }
    for (const std::string& file : output.files()) std::cerr << "printed: " << file << "\n";
    return ok ? 0 : 1;
}

}  // namespace

void addPrintCommand(CLI::App& app) {
    auto o = std::make_shared<PrintOptions>();
    auto* cmd = app.add_subcommand(
        "print", "Run a print request through the print window without a screen and print it");
    cmd->add_option("--db", o->db, "The host database (sqlite:PATH or postgresql://...)")
        ->required();
    cmd->add_option("--lib", o->lib, "The print library file (created when missing)")->required();
    cmd->add_option("--operator", o->oper, "The operator id (gs_operid)")->required();
    cmd->add_option("--bill", o->bill, "Print a bill: its bill id in T_BILLMAIN");
    cmd->add_option("--header", o->header, "The bill's header DataWindow definition (.srd)");
    cmd->add_option("--detail", o->detail, "The bill's detail DataWindow definition (.srd)");
    cmd->add_option("--detail2", o->detail2, "The bill's second detail definition (.srd)");
    cmd->add_flag("--charge", o->charge, "Print the bill as a charge bill (no header)");
    cmd->add_option("--report", o->report, "Print a report: its DataWindow definition (.srd)");
    cmd->add_option("--dwname", o->dwname,
                    "The data object name of the report or bill detail (default: its file's "
                    "name without .srd); report templates are filed by it");
    cmd->add_option("--head", o->head, "The report's condition form definition (.srd)");
    cmd->add_option("--docname", o->docname, "The report's print name: \"title,document\"")
        ->each([o](const std::string&) { o->docnameGiven = true; });
    cmd->add_option("--arg", o->args, "A retrieval argument NAME=VALUE (repeatable)");
    cmd->add_option("--host", o->hostValues, "A host global gs_NAME=VALUE (repeatable)");
    cmd->add_option("--accessory", o->accessory, "A summary text of the bill (repeatable)");
    cmd->add_option("--defs", o->defs, "A folder of NAME.srd host definitions (repeatable)");
    cmd->add_option("--pdf", o->pdf, "Print to this PDF file");
    cmd->add_option("--printer", o->printer, "Print on this printer");
    cmd->add_flag("--dump", o->dump,
                  "Write the display list of each printed page to standard output");
    cmd->add_option("--script", o->script, "Operator actions to play on the window, one a line");
    cmd->footer(
        "Script lines: click CONTROL | doubleclick CONTROL [ROW] | rclick CONTROL [ROW] |\n"
        "menu ITEM | row CONTROL ROW | key KEY [ctrl] [shift] |\n"
        "mouse down|move|up X Y [ctrl] | mouse down|move|up @OBJECT [DX DY] [ctrl] |\n"
        "type CONTROL TEXT | check CONTROL on|off | set CONTROL ROW COLUMN VALUE | answer N |\n"
        "filename PATH | fontdialog FACE HEIGHT WEIGHT ITALIC UNDERLINE STRIKEOUT COLOR |\n"
        "printersetup PRINTER | describe CONTROL TEXT | syntax CONTROL | modify CONTROL TEXT |\n"
        "show CONTROL.\n"
        "Message boxes are written to standard error; exit 0 when no error was shown and every\n"
        "print was made, 1 otherwise, 2 for bad options or definitions.");
    cmd->callback([o] {
        int rc = 2;
        try {
            rc = runPrint(*o);
        } catch (const UsageError& e) {
            std::cerr << "error: " << e.what() << "\n";
            rc = 2;
        }
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace printctl
