// `printctl lib ...`: library file maintenance (list, import, export, remove entries).
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "commands.h"
#include "input_file.h"

#ifdef PRINTCTL_HAS_DB
#include "common/encoding.h"
#include "db/library_file.h"
#include "engine/syntax_check.h"
#endif

namespace printctl {

#ifdef PRINTCTL_HAS_DB
namespace {

struct LibOptions {
    std::string file;
    std::string name;
    std::string definition;
    std::string comment;
    std::string encoding;  // "": as each file is written
};

[[noreturn]] void failWith(const std::string& message) {
    std::cerr << "printctl: " << message << "\n";
    throw CLI::RuntimeError(1);
}

print::db::LibraryFile openOrFail(const std::string& path) {
    auto lib = print::db::LibraryFile::open(path);
    if (!lib) failWith(lib.error().message);
    return std::move(lib).value();
}

void runList(const LibOptions& o) {
    // The listing itself cannot tell an error from an empty library, and a damaged file can
    // open well and fail only when its entries are read.
    print::db::LibraryFile lib = openOrFail(o.file);
    if (auto entries = lib.entries(); !entries) failWith(entries.error().message);
    std::cout << print::db::libraryDirectory(o.file);
}

std::string readDefinition(const LibOptions& o) {
    auto read = readInputFile(o.definition);
    if (!read) failWith(read.error().message);
    auto text = print::decodeTextFile(read.value(), o.encoding);
    if (!text) failWith(o.definition + ": " + text.error().describe());
    return std::string(print::stripBom(text.value()));
}

void runImport(const LibOptions& o) {
    if (!print::db::isValidEntryName(o.name))
        failWith("'" + o.name + "' is not a valid entry name");
    std::string text = readDefinition(o);
    if (print::Status checked = print::engine::checkDefinitionText(text); !checked)
        failWith(o.definition + ": " + checked.error().describe());
    // A missing library is created with its first entry, in one step: other imports creating it
    // at the same moment all land in it, and a killed import leaves no empty library.
    auto lib = print::db::LibraryFile::openOrCreate(o.file);
    if (!lib) failWith(lib.error().message);
    if (print::Status put = lib.value().put(o.name, text, o.comment); !put)
        failWith(put.error().message);
}

void runExport(const LibOptions& o) {
    print::db::LibraryFile lib = openOrFail(o.file);
    auto def = lib.definition(o.name);
    if (!def) failWith(def.error().message);
    if (!def.value()) failWith("no entry " + o.name + " in " + o.file);
    std::cout << *def.value();
    if (!def.value()->empty() && def.value()->back() != '\n') std::cout << "\n";
}

void runRemove(const LibOptions& o) {
    print::db::LibraryFile lib = openOrFail(o.file);
    auto removed = lib.remove(o.name);
    if (!removed) failWith(removed.error().message);
    if (!removed.value()) failWith("no entry " + o.name + " in " + o.file);
}

}  // namespace

void addLibCommands(CLI::App& app) {
    CLI::App* lib = app.add_subcommand("lib", "Maintain library files of report definitions");
    lib->require_subcommand(1);

    auto ls = std::make_shared<LibOptions>();
    CLI::App* lsCmd = lib->add_subcommand(
        "ls", "List the entries: name<TAB>YYYY-MM-DD HH:MM:SS<TAB>comment, one a line");
    lsCmd->add_option("FILE", ls->file, "Library file")->required();
    lsCmd->callback([ls] { runList(*ls); });

    auto imp = std::make_shared<LibOptions>();
    CLI::App* impCmd = lib->add_subcommand(
        "import", "Check a definition and store it under NAME (the file is created if missing)");
    impCmd->add_option("FILE", imp->file, "Library file")->required();
    impCmd->add_option("NAME", imp->name, "Entry name")->required();
    impCmd->add_option("DEFINITION", imp->definition, "Definition file (.srd)")->required();
    impCmd->add_option("--comment", imp->comment, "Comment of the entry");
    impCmd->add_option("--encoding", imp->encoding,
                       "Code page of the definition file (by default UTF-8, or the application "
                       "code page for a file without a byte-order mark that is "
                       "not UTF-8)");
    impCmd->callback([imp] { runImport(*imp); });

    auto exp = std::make_shared<LibOptions>();
    CLI::App* expCmd = lib->add_subcommand("export", "Print the definition stored under NAME");
    expCmd->add_option("FILE", exp->file, "Library file")->required();
    expCmd->add_option("NAME", exp->name, "Entry name")->required();
    expCmd->callback([exp] { runExport(*exp); });

    auto rm = std::make_shared<LibOptions>();
    CLI::App* rmCmd = lib->add_subcommand("rm", "Delete the entry NAME");
    rmCmd->add_option("FILE", rm->file, "Library file")->required();
    rmCmd->add_option("NAME", rm->name, "Entry name")->required();
    rmCmd->callback([rm] { runRemove(*rm); });
}

#else

void addLibCommands(CLI::App&) {}

#endif

}  // namespace printctl
