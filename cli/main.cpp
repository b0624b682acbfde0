// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    krt::OpenStandardDescriptors();
    std::vector<std::string> args(argv + 1, argv + argc);
    // Every refusal has its own status; an exception that gets here is a
    // fault of krt, said as one and ended with a status, never an abort.
    try {
        return krt::RunCli(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krt: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "krt: internal error\n");
    }
    return krt::kExitSoftware;
}
