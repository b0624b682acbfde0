#include "cli/Cli.h"

namespace krt {

void RegisterSimCommands(std::vector<CliCommand>& table) { (void)table; }

}  // namespace krt
