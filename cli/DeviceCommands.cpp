#include "cli/Cli.h"

namespace krt {

void RegisterDeviceCommands(std::vector<CliCommand>& table) { (void)table; }

}  // namespace krt
