#include "cli/Cli.h"

namespace krt {

void RegisterDataCommands(std::vector<CliCommand>& table) { (void)table; }

}  // namespace krt
