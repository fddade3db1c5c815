// printctl: the command-line tool of the print component.
#include <CLI/CLI.hpp>
#include <iostream>
#include <new>

#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"printctl: engine shell, database set-up and library maintenance"};
    app.require_subcommand(1);
    printctl::addDwCommand(app);
    printctl::addDbCommands(app);
    printctl::addLibCommands(app);
    printctl::addPrintCommand(app);
    printctl::addTemplatesCommands(app);
    printctl::addRenderCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory, the command failed: say so rather than abort.
        std::cerr << "error: there is not enough memory to do this\n";
        return 1;
    }
    return 0;
}
