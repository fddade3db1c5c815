#include "commands.h"

namespace printctl {
void addDbCommands(CLI::App&) {}
}  // namespace printctl
