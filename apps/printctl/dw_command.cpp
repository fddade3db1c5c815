#include "commands.h"

namespace printctl {
void addDwCommand(CLI::App&) {}
}  // namespace printctl
