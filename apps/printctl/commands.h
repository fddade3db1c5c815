// The subcommands of printctl; each source file registers its own.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>

namespace printctl {

// The width of the template tables' operator columns (rtoperid, bpoperid): operator ids are
// refused beyond it, on both back ends alike.
constexpr size_t kMaxOperatorLength = 20;

// `printctl dw`: the engine shell.
void addDwCommand(CLI::App& app);
// `printctl db ...`: database set-up and checks.
void addDbCommands(CLI::App& app);
// `printctl lib ...`: library file maintenance.
void addLibCommands(CLI::App& app);
// `printctl print`: a print request through the print window, without a screen.
void addPrintCommand(CLI::App& app);
// `printctl templates ...`: stored print templates.
void addTemplatesCommands(CLI::App& app);
// `printctl render`: a report laid out into pages, written as text, PDF or PNG.
void addRenderCommand(CLI::App& app);

}  // namespace printctl
