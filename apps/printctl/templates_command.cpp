// printctl templates: list, export, import and delete the print templates stored in a host
// database, outside the print window.
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "commands.h"
#include "common/encoding.h"
#include "common/text.h"
#include "db/transaction.h"
#include "engine/datastore.h"
#include "input_file.h"
#include "print_window/template_store.h"

namespace printctl {
namespace {

using print::Value;
using print::print_window::TemplateInfo;
using print::print_window::TemplateKey;

struct TemplateOptions {
    std::string db;
    std::string bill;
    std::string doc;
    std::string owner;
    std::string name;
    std::string frame;
    std::string report;
    std::string dwname;
    bool isPrivate = false;
    bool isDefault = false;
};

class TemplateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void connect(print::db::Transaction& sqlca, const std::string& url) {
    if (sqlca.connect(url, {.createSqliteFile = false}) != 0)
        throw TemplateError(sqlca.sqlErrText());
}

TemplateKey keyOf(const TemplateOptions& o) {
    if (o.bill.empty() == o.doc.empty())
        throw TemplateError("give either --bill ID or --doc DOCUMENT --owner OPERATOR");
    if (!o.doc.empty() && o.owner.empty()) throw TemplateError("--doc needs --owner");
    // The width of the operator columns, on both back ends alike.
    if (print::utf8Length(o.owner) > kMaxOperatorLength)
        throw TemplateError("--owner is longer than " + std::to_string(kMaxOperatorLength) +
                            " characters: " + o.owner);
    if (o.name.empty()) throw TemplateError("--name is needed");
    TemplateKey key;
    key.bill = !o.bill.empty();
    key.billid = o.bill;
    key.docname = o.doc;
    key.oper = o.owner;
    key.name = o.name;
    return key;
}

void check(print::db::Transaction& sqlca, long rc) {
    if (rc < 0) {
        const std::string text = sqlca.sqlErrText();
        if (sqlca.inTransaction()) sqlca.rollback();
        throw TemplateError(text);
    }
}

std::string readSyntax(const std::string& path) {
    auto read = readInputFile(path);
    if (!read) throw TemplateError(read.error().message);
    auto decoded = print::decodeTextFile(read.value(), "");
    if (!decoded.ok()) throw TemplateError(path + ": " + decoded.error().describe());
    print::engine::DataStore dw;
    std::string error;
    if (dw.Create(decoded.value(), error) != 1) throw TemplateError(path + ": " + error);
    return dw.Describe("DataWindow.Syntax");
}

void writeFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            throw TemplateError("cannot write " + path);
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw TemplateError("cannot write " + path);
    }
}

int list(const TemplateOptions& o) {
    print::db::Transaction sqlca;
    connect(sqlca, o.db);
    long rc = print::print_window::listTemplates(sqlca, [](const TemplateInfo& t) {
        if (t.key.bill)
            std::cout << "bill\t" << t.key.billid << "\t" << t.key.name << "\t" << t.key.oper
                      << "\t" << (t.isDefault == "Y" ? "default" : "") << "\t" << t.libraryName
                      << "\t" << t.stamp << "\n";
        else
            std::cout << "report\t" << t.key.docname << "\t" << t.key.name << "\t" << t.key.oper
                      << "\t" << (t.flag == "1" ? "private" : "public")
                      << (t.isDefault == "Y" ? ",default" : "") << "\t" << t.libraryName << "\t"
                      << t.stamp << "\n";
    });
    check(sqlca, rc);
    return 0;
}

int exportTemplate(const TemplateOptions& o) {
    const TemplateKey key = keyOf(o);
    if (o.frame.empty() || o.report.empty())
        throw TemplateError("export needs --frame FILE and --report FILE");
    print::db::Transaction sqlca;
    connect(sqlca, o.db);
    std::string frame, report;
    const long rc = print::print_window::readTemplateSyntax(sqlca, key, frame, report);
    check(sqlca, rc);
    if (rc == 100) throw TemplateError("no template " + o.name);
    writeFile(o.frame, frame);
    writeFile(o.report, report);
    return 0;
}

int importTemplate(const TemplateOptions& o) {
    const TemplateKey key = keyOf(o);
    if (o.frame.empty() || o.report.empty())
        throw TemplateError("import needs --frame FILE and --report FILE");
    if (!key.bill && o.dwname.empty())
        throw TemplateError("a report template needs --dwname (the report's data object)");
    const std::string frame = readSyntax(o.frame);
    const std::string report = readSyntax(o.report);

    print::db::Transaction sqlca;
    connect(sqlca, o.db);
    check(sqlca, print::print_window::lockTemplates(sqlca, key));
    std::vector<Value> found;
    long rc = sqlca.selectInto(
        std::string("SELECT count(*) FROM ") + key.firstTable() + key.where(), key.values(), found);
    check(sqlca, rc);
    const bool exists = !found.empty() && found[0].toText() != "0";
    const Value stamp(print::DateTime::now());
    const std::string isDefault = o.isDefault && !o.isPrivate ? "Y" : "N";
    std::random_device random;
    const std::string libraryName =
        "dp_imp" + std::to_string(random() % 100000000) + std::to_string(random() % 100000);
    if (key.bill) {
        rc = exists ? sqlca.execute(
                          "UPDATE T_GOODSPRINT1 SET bpdate = :stamp, bpdefault = "
                          ":isdefault, bpdwname = :lib, bpoperid = :oper" +
                              key.where(),
                          {stamp, Value(isDefault), Value(libraryName),
                           Value(std::string("printctl")), Value(key.billid), Value(key.name)})
                    : sqlca.execute(
                          "INSERT INTO T_GOODSPRINT1 (bpbid, bpname, bpdate, bpdefault, "
                          "bpdwname, bpoperid) VALUES (:billid, :name, :stamp, "
                          ":isdefault, :lib, :oper)",
                          {Value(key.billid), Value(key.name), stamp, Value(isDefault),
                           Value(libraryName), Value(std::string("printctl"))});
    } else {
        const std::string flag = o.isPrivate ? "1" : "0";
        rc = exists ? sqlca.execute(
                          "UPDATE T_RPT_MODONE SET rtflag = :flag, rtdefault = "
                          ":isdefault, rtdwname = :dwname, rtdwcurname = :lib, "
                          "rtoperdate = :stamp" +
                              key.where(),
                          {Value(flag), Value(isDefault), Value(o.dwname), Value(libraryName),
                           stamp, Value(key.docname), Value(key.name), Value(key.oper)})
                    : sqlca.execute(
                          "INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid, "
                          "rtflag, rtdefault, rtdwname, rtdwcurname, rtoperdate) VALUES "
                          "(:docname, :name, :oper, :flag, :isdefault, :dwname, :lib, "
                          ":stamp)",
                          {Value(key.docname), Value(key.name), Value(key.oper), Value(flag),
                           Value(isDefault), Value(o.dwname), Value(libraryName), stamp});
    }
    check(sqlca, rc);
    rc = print::print_window::writeTemplateSyntax(sqlca, key, frame, report);
    check(sqlca, rc);
    if (rc == 100) {
        sqlca.rollback();
        throw TemplateError("the template's second row is missing; run printctl db init");
    }
    if (isDefault == "Y") check(sqlca, print::print_window::clearOtherDefaults(sqlca, key));
    check(sqlca, sqlca.commit());
    std::cout << (exists ? "replaced " : "imported ") << o.name << "\n";
    return 0;
}

int removeTemplate(const TemplateOptions& o) {
    const TemplateKey key = keyOf(o);
    print::db::Transaction sqlca;
    connect(sqlca, o.db);
    const long rc =
        sqlca.execute(std::string("DELETE FROM ") + key.firstTable() + key.where(), key.values());
    check(sqlca, rc);
    if (rc == 100) {
        sqlca.rollback();
        throw TemplateError("no template " + o.name);
    }
    check(sqlca, sqlca.commit());
    std::cout << "removed " << o.name << "\n";
    return 0;
}

void addKeyOptions(CLI::App* cmd, TemplateOptions& o) {
    cmd->add_option("--db", o.db, "The host database (sqlite:PATH or postgresql://...)")
        ->required();
    cmd->add_option("--bill", o.bill, "A bill template: the bill id");
    cmd->add_option("--doc", o.doc, "A report template: the document name");
    cmd->add_option("--owner", o.owner, "A report template: its owner (operator id)");
    cmd->add_option("--name", o.name, "The template name");
}

template <class F>
void run(CLI::App* cmd, std::shared_ptr<TemplateOptions> o, F f) {
    cmd->callback([o, f] {
        int rc = 2;
        try {
            rc = f(*o);
        } catch (const TemplateError& e) {
            std::cerr << "error: " << e.what() << "\n";
            rc = 2;
        }
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace

void addTemplatesCommands(CLI::App& app) {
    auto* templates = app.add_subcommand("templates", "Print templates stored in a database");
    templates->require_subcommand(1);

    auto ls = std::make_shared<TemplateOptions>();
    auto* lsCmd = templates->add_subcommand(
        "ls",
        "List the templates: kind, bill id or document, name, owner, flags, library name, "
        "time stamp");
    lsCmd->add_option("--db", ls->db, "The host database")->required();
    run(lsCmd, ls, list);

    auto ex = std::make_shared<TemplateOptions>();
    auto* exCmd = templates->add_subcommand("export", "Write a template's two syntaxes to files");
    addKeyOptions(exCmd, *ex);
    exCmd->add_option("--frame", ex->frame, "File for the frame syntax")->required();
    exCmd->add_option("--report", ex->report, "File for the report syntax")->required();
    run(exCmd, ex, exportTemplate);

    auto im = std::make_shared<TemplateOptions>();
    auto* imCmd = templates->add_subcommand(
        "import", "Store a template from two definition files (replacing one of that name)");
    addKeyOptions(imCmd, *im);
    imCmd->add_option("--frame", im->frame, "The frame definition (.srd)")->required();
    imCmd->add_option("--report", im->report, "The report definition (.srd)")->required();
    imCmd->add_option("--dwname", im->dwname, "A report template: the report's data object");
    imCmd->add_flag("--private", im->isPrivate, "A report template only its owner sees");
    imCmd->add_flag("--default", im->isDefault, "Make it the default of its document or bill id");
    run(imCmd, im, importTemplate);

    auto rm = std::make_shared<TemplateOptions>();
    auto* rmCmd = templates->add_subcommand("rm", "Delete a template");
    addKeyOptions(rmCmd, *rm);
    run(rmCmd, rm, removeTemplate);
}

}  // namespace printctl
