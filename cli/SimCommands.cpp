#include "cli/Cli.h"
#include "cli/Session.h"

namespace krt {

// Placeholder until the simulated programmer lands.
bool SetUpSimulator(CliSession& session, std::string& error) {
    (void)session;
    error = "the simulated programmer is not built yet";
    return false;
}

void RegisterSimCommands(std::vector<CliCommand>& table) { (void)table; }

}  // namespace krt
