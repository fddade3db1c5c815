#include "commands.h"

namespace printctl {
void addLibCommands(CLI::App&) {}
}  // namespace printctl
