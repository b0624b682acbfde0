#include "cli/Cli.h"

namespace krt {

void RegisterCatalogueCommands(std::vector<CliCommand>& table) { (void)table; }

}  // namespace krt
