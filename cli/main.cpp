// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    krt::OpenStandardDescriptors();
    std::vector<std::string> args(argv + 1, argv + argc);
    return krt::RunCli(args);
}
