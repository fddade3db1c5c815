// `printctl db init` and `printctl db check`: the template store's schema on a host database.
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"

#ifdef PRINTCTL_HAS_DB
#include "db/demo_data.h"
#include "db/schema.h"
#include "db/transaction.h"
#endif

namespace printctl {

#ifdef PRINTCTL_HAS_DB
namespace {

struct DbOptions {
    std::string url;
    bool demo = false;
};

[[noreturn]] void failWith(const std::string& message) {
    std::cerr << "printctl: " << message << "\n";
    throw CLI::RuntimeError(1);
}

void connectOrFail(print::db::Transaction& sqlca, const std::string& url, bool create) {
    print::db::ConnectOptions options;
    options.createSqliteFile = create;
    if (sqlca.connect(url, options) != 0) failWith(sqlca.sqlErrText());
}

void runInit(const DbOptions& o) {
    print::db::Transaction sqlca;
    connectOrFail(sqlca, o.url, true);
    auto done =
        o.demo ? print::db::loadDemoData(sqlca) : [&]() -> print::Result<std::vector<std::string>> {
        auto created = print::db::initSchema(sqlca);
        if (!created) return created.error();
        std::vector<std::string> lines;
        for (const std::string& c : created.value()) lines.push_back("created " + c);
        return lines;
    }();
    if (!done) failWith(done.error().message);
    if (done.value().empty()) {
        std::cout << (o.demo ? "the schema and the demo data are in place; nothing changed\n"
                             : "the schema is complete; nothing changed\n");
        return;
    }
    for (const std::string& line : done.value()) std::cout << line << "\n";
}

void runCheck(const DbOptions& o) {
    print::db::Transaction sqlca;
    connectOrFail(sqlca, o.url, false);
    auto missing = print::db::checkSchema(sqlca, print::db::SchemaOptions{o.demo});
    if (!missing) failWith(missing.error().message);
    if (missing.value().empty()) {
        std::cout << "the schema is complete\n";
        return;
    }
    for (const std::string& m : missing.value()) std::cout << "missing " << m << "\n";
    throw CLI::RuntimeError(1);
}

}  // namespace

void addDbCommands(CLI::App& app) {
    CLI::App* db = app.add_subcommand("db", "Set up and check the template store's database");
    db->require_subcommand(1);

    auto init = std::make_shared<DbOptions>();
    CLI::App* initCmd = db->add_subcommand(
        "init", "Create the missing tables, views and triggers (a second run changes nothing)");
    initCmd->add_option("--url", init->url, "sqlite:PATH, a file path, or postgresql://...")
        ->required();
    initCmd->add_flag("--demo", init->demo,
                      "Also create and fill the demo host's tables (bills, goods, 100000 sales)");
    initCmd->callback([init] { runInit(*init); });

    auto check = std::make_shared<DbOptions>();
    CLI::App* checkCmd =
        db->add_subcommand("check", "List what is missing from the schema (exit 1 when anything)");
    checkCmd->add_option("--url", check->url, "sqlite:PATH, a file path, or postgresql://...")
        ->required();
    checkCmd->add_flag("--demo", check->demo, "Also check the demo host's tables");
    checkCmd->callback([check] { runCheck(*check); });
}

#else

void addDbCommands(CLI::App&) {}

#endif

}  // namespace printctl
